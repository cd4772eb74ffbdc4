// The sky's 88-byte parameter block (std140).
#define SKY_PARAMS_BLOCK(SET, BINDING)                                               \
    layout(set = SET, binding = BINDING) uniform SkyParamsBlock {                    \
        vec3 sunDirection;                                                            \
        float reserved0;                                                              \
        vec3 sunColor;                                                                \
        float reserved1;                                                              \
        vec3 rgbScatter;                                                              \
        float reserved2;                                                              \
        float planetRadius;                                                           \
        float atmosphereThickness;                                                    \
        float atmosphereAveragePoint;                                                 \
        float atmosphereDensity;                                                      \
        float rayleighIntensity;                                                      \
        float mieIntensity;                                                           \
        float mieFactor;                                                              \
        float exposure;                                                               \
        int mainRaySteps;                                                             \
        int subScatterSteps;                                                          \
    } sky;

// The 12-byte sun direction the optimised shaders read instead.
#define SUN_BLOCK(SET, BINDING)                                                      \
    layout(set = SET, binding = BINDING) uniform SunBlock {                          \
        vec3 sunDirection;                                                            \
    } sun;
