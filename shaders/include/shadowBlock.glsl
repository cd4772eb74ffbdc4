// The shadow renderer's 484-byte block (std140): four light view-projections, a bias
// pair per cascade and the split exponent.
#define SHADOW_BLOCK(SET, BINDING)                                                   \
    layout(set = SET, binding = BINDING) uniform ShadowBlock {                       \
        mat4 lightViewProjection[4];                                                  \
        vec4 reserved0[8];                                                            \
        vec4 bias[4];                                                                 \
        vec4 reserved1[2];                                                            \
        float splitExponent;                                                          \
    } shadow;
