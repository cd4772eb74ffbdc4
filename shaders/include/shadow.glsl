// Cascaded shadow lookups shared by the scene shaders. Expand SHADOW_BLOCK (from
// shadowBlock.glsl) before including this file; the map comes in as an argument.
// Results are the fraction of sunlight that reaches a point: 1 lit, 0 in shadow.

const float SHADOW_DISTANCE = 1000.0; // the cascades cover the view from the near plane to here
const float SHADOW_OVERLAP = 0.025;   // each cascade reaches this far into the next (curve parameter)
const int SHADOW_CASCADES = 4;
const float SHADOW_MAX_SLOPE = 3.0;   // the receiver bias stops growing beyond this slope

// View depth where cascade `cascade` starts and ends, on the same power curve as the renderer.
float shadowSplitStart(int cascade, float nearPlane)
{
    float t = float(cascade) / float(SHADOW_CASCADES);
    return nearPlane + (SHADOW_DISTANCE - nearPlane) * pow(t, shadow.splitExponent);
}

float shadowSplitEnd(int cascade, float nearPlane)
{
    float t = float(cascade + 1) / float(SHADOW_CASCADES) + SHADOW_OVERLAP;
    return nearPlane + (SHADOW_DISTANCE - nearPlane) * pow(t, shadow.splitExponent);
}

// The cascade whose range starts at or before `viewDepth`.
int shadowCascade(float viewDepth, float nearPlane)
{
    float u = max(viewDepth - nearPlane, 0.0) / (SHADOW_DISTANCE - nearPlane);
    float index = floor(pow(u, 1.0 / shadow.splitExponent) * float(SHADOW_CASCADES));
    return clamp(int(index), 0, SHADOW_CASCADES - 1);
}

// tan of the angle between the surface and the light, for the slope part of the bias.
float shadowSlope(float cosine)
{
    float c = max(cosine, 1e-3);
    return min(sqrt(max(1.0 - c * c, 0.0)) / c, SHADOW_MAX_SLOPE);
}

// Sunlight at `worldPosition` in one cascade: taps x taps comparisons one texel apart
// (each filtered by the sampler), averaged. Outside the cascade's square: lit.
float shadowCascadeLight(sampler2DArrayShadow map, vec3 worldPosition, float slope, int cascade, int taps)
{
    vec4 light = shadow.lightViewProjection[cascade] * vec4(worldPosition, 1.0);
    vec3 p = light.xyz / light.w;
    vec2 uv = p.xy * 0.5 + 0.5;
    if (any(lessThan(uv, vec2(0.0))) || any(greaterThan(uv, vec2(1.0))) || p.z > 1.0) return 1.0;
    // bias.x scales with the slope, bias.y is the constant part; both are negative.
    vec4 bias = shadow.bias[cascade];
    float reference = p.z + bias.y + bias.x * slope;
    vec2 texel = 1.0 / vec2(textureSize(map, 0).xy);
    float first = -0.5 * float(taps - 1);
    float lit = 0.0;
    for (int y = 0; y < taps; y++) {
        for (int x = 0; x < taps; x++) {
            vec2 at = uv + (vec2(x, y) + first) * texel;
            // One level only: explicit zero gradients keep the lookup defined anywhere.
            lit += textureGrad(map, vec4(at, float(cascade), reference), vec2(0.0), vec2(0.0));
        }
    }
    return lit / float(taps * taps);
}

// Sunlight at a surface point seen at `viewDepth` along the camera's forward vector,
// with `cosine` between its normal and the sun. With `blend` the cascades cross-fade
// over their overlap; past the shadow distance the shadows fade out.
float cascadedShadow(sampler2DArrayShadow map, vec3 worldPosition, float viewDepth, float nearPlane, float cosine,
                     int taps, bool blend)
{
    float last = shadowSplitEnd(SHADOW_CASCADES - 1, nearPlane);
    if (viewDepth >= last) return 1.0;
    float slope = shadowSlope(cosine);
    int cascade = shadowCascade(viewDepth, nearPlane);
    float lit = shadowCascadeLight(map, worldPosition, slope, cascade, taps);
    if (blend && cascade > 0) {
        float start = shadowSplitStart(cascade, nearPlane);
        float end = shadowSplitEnd(cascade - 1, nearPlane);
        if (viewDepth < end) {
            float previous = shadowCascadeLight(map, worldPosition, slope, cascade - 1, taps);
            lit = mix(previous, lit, smoothstep(start, end, viewDepth));
        }
    }
    float fadeStart = mix(nearPlane, SHADOW_DISTANCE, 0.9);
    return mix(lit, 1.0, smoothstep(fadeStart, last, viewDepth));
}
