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
