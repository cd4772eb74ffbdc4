// The model matrix of the building or tower part being drawn: the first 64 bytes of
// its slot in the instance storage (a storage buffer bound with a dynamic offset).
#define INSTANCE_BLOCK(SET, BINDING)                                                 \
    layout(set = SET, binding = BINDING) readonly buffer InstanceBlock {             \
        mat4 model;                                                                   \
    } instance;

// A tool preview's part: its model matrix and the colour it is drawn in (80 bytes).
#define PREVIEW_BLOCK(SET, BINDING)                                                  \
    layout(set = SET, binding = BINDING) readonly buffer PreviewBlock {              \
        mat4 model;                                                                   \
        vec4 color;                                                                   \
    } preview;

// The model matrices of an instanced draw (projectiles, enemies): instance i at byte
// 64 i of the slot. A single building or tower part is instance 0.
#define INSTANCE_ARRAY_BLOCK(SET, BINDING)                                           \
    layout(set = SET, binding = BINDING) readonly buffer InstanceArrayBlock {        \
        mat4 models[];                                                                \
    } instances;

// Smoke puffs, 80 bytes each: model matrix (rotation and translation), opacity / size,
// size, then 8 unused bytes.
struct SmokeRecord {
    mat4 model;
    float opacityOverSize;
    float size;
    vec2 unused;
};
#define SMOKE_BLOCK(SET, BINDING)                                                    \
    layout(set = SET, binding = BINDING) readonly buffer SmokeBlock {                \
        SmokeRecord puffs[];                                                          \
    } smoke;
