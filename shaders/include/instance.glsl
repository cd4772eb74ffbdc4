// The model matrix of the building or tower part being drawn: the first 64 bytes of
// its slot in the instance storage (a storage buffer bound with a dynamic offset).
#define INSTANCE_BLOCK(SET, BINDING)                                                 \
    layout(set = SET, binding = BINDING) readonly buffer InstanceBlock {             \
        mat4 model;                                                                   \
    } instance;

// One model matrix per instance of an instanced draw (enemies, projectiles), instance i at byte
// 64 i from the dynamic offset; a draw of one instance reads the first matrix, as
// INSTANCE_BLOCK does.
#define INSTANCES_BLOCK(SET, BINDING)                                                \
    layout(set = SET, binding = BINDING) readonly buffer InstancesBlock {            \
        mat4 models[];                                                                \
    } instances;

// A tool preview's part: its model matrix and the colour it is drawn in (80 bytes).
#define PREVIEW_BLOCK(SET, BINDING)                                                  \
    layout(set = SET, binding = BINDING) readonly buffer PreviewBlock {              \
        mat4 model;                                                                   \
        vec4 color;                                                                   \
    } preview;

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
