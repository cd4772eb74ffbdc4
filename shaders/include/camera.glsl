// The camera's 104-byte uniform block (std140), as the camera writes it:
// view-projection, position, forward, near and far plane distances.
#define CAMERA_BLOCK(SET, BINDING)                                                   \
    layout(set = SET, binding = BINDING) uniform CameraBlock {                       \
        mat4 viewProjection;                                                          \
        vec3 position;                                                                \
        float reserved0;                                                              \
        vec3 forward;                                                                 \
        float reserved1;                                                              \
        float nearPlane;                                                              \
        float farPlane;                                                               \
    } camera;
