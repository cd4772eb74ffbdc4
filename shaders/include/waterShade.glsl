// Light through the water: the terrain's prepass (the ground below the sea, rendered
// at twice the window size with a wider view) seen through the refracting surface,
// dimmed by absorption and brightened by the light the water scatters back up.
// Needs the camera block and water.glsl.

layout(set = 1, binding = 3) uniform sampler2D prepassColor;
layout(set = 1, binding = 4) uniform sampler2D prepassDepth;
// The scene's depth before the sea was drawn (the ground, the buildings, the enemies).
layout(set = 1, binding = 5) uniform sampler2D sceneDepthBefore;

struct WaterOptics {
    vec3 rgbScatter;
    vec3 rgbAbsorption;
    float absorptionFactor;
    float density;
    float depth;             // beyond this much water the ground is lost
    float refractiveStrength;
    vec2 prepassScale;       // the window's share of the prepass image
};

// Absorption per world unit for each unit of "Absorption factor".
const float ABSORPTION_UNIT = 0.0025;
// Share of the scattered light that leaves the water towards the eye.
const float WATER_ALBEDO = 0.25;
const float WATER_IOR = 1.333;
// The foam line where the water runs thin over the ground.
const float FOAM_DEPTH = 0.7;
const vec3 FOAM_COLOR = vec3(0.85, 0.9, 0.92);
const vec3 CREST_TINT = vec3(0.02, 0.12, 0.1);

// Where a world point lands in the prepass image.
vec2 prepassUv(vec3 p, vec2 prepassScale)
{
    vec4 clip = camera.viewProjection * vec4(p, 1.0);
    vec2 ndc = clip.xy / max(clip.w, 1e-4);
    return ndc * prepassScale * 0.5 + 0.5;
}

// Distance along `dir` to the prepass ground at uv; the far plane where the prepass
// holds nothing (it renders only the low ground).
float prepassDistance(vec2 uv, vec3 dir)
{
    ivec2 size = textureSize(prepassDepth, 0);
    ivec2 texel = clamp(ivec2(uv * vec2(size)), ivec2(0), size - 1);
    float depth = texelFetch(prepassDepth, texel, 0).r;
    float n = camera.nearPlane;
    float f = camera.farPlane;
    float viewDepth = n * f / (f - depth * (f - n));
    return viewDepth / max(dot(dir, camera.forward), 1e-4);
}

vec3 prepassGround(vec2 uv)
{
    ivec2 size = textureSize(prepassColor, 0);
    vec2 clamped = clamp(uv, vec2(0.5) / vec2(size), 1.0 - vec2(0.5) / vec2(size));
    return texture(prepassColor, clamped).rgb;
}

// The colour that comes up through the surface at `hit` (distance `t` along the view
// ray `dir`, normal `n`), lit from above by `light`.
vec3 underwaterColor(WaterOptics o, vec3 hit, vec3 dir, float t, vec3 n, vec3 light, float waveCrest)
{
    vec3 extinction = max(o.rgbAbsorption * o.absorptionFactor * ABSORPTION_UNIT + o.rgbScatter * o.density, 1e-6);
    float maxDepth = max(o.depth, 0.01);

    // Straight through first; then along the refracted ray about as deep as the
    // ground lies, so that the bend grows with the depth.
    vec2 uv = prepassUv(hit, o.prepassScale);
    float path = clamp(prepassDistance(uv, dir) - t, 0.0, maxDepth);
    vec3 refracted = refract(dir, n, 1.0 / WATER_IOR);
    if (dot(refracted, refracted) > 0.0) {
        vec3 bent = hit + refracted * min(path, maxDepth) * o.refractiveStrength;
        vec2 bentUv = prepassUv(bent, o.prepassScale);
        float bentPath = prepassDistance(bentUv, dir) - t;
        // A bent sample in front of the surface shows something above the water: keep
        // the straight one.
        if (bentPath > 0.0) {
            uv = bentUv;
            path = min(bentPath, maxDepth);
        }
    }
    // The ground fades out over the last part of the depth the water lets through.
    vec3 ground = prepassGround(uv) * (1.0 - smoothstep(0.7 * maxDepth, maxDepth, path));

    vec3 transmittance = exp(-extinction * path);
    vec3 scattered = light * WATER_ALBEDO * o.rgbScatter * o.density / extinction * (1.0 - transmittance);
    vec3 color = ground * transmittance + scattered;

    // Light shining through the thin tops of the waves.
    color += CREST_TINT * light * pow(waveCrest, 3.0);

    float foam = (1.0 - smoothstep(0.0, FOAM_DEPTH, path)) * smoothstep(0.35, 0.8, waveCrest);
    return mix(color, FOAM_COLOR * light, foam * 0.6);
}

float fresnel(vec3 dir, vec3 n)
{
    float cosine = clamp(dot(-dir, n), 0.0, 1.0);
    return 0.02 + 0.98 * pow(1.0 - cosine, 5.0);
}

// The sun's glint on the waves: a sharp highlight and a softer sheen around it.
vec3 sunGlint(vec3 dir, vec3 n, vec3 sunDirection, vec3 sunlight)
{
    vec3 halfway = normalize(sunDirection - dir);
    float facing = max(dot(n, halfway), 0.0);
    return sunlight * (pow(facing, 400.0) * 40.0 + pow(facing, 80.0) * 0.6) * fresnel(dir, n) * 10.0;
}

// The surface's depth for the depth test: the terrain in front of it hides it.
float surfaceDepth(vec3 hit)
{
    vec4 clip = camera.viewProjection * vec4(hit, 1.0);
    return clamp(clip.z / clip.w, 0.0, 1.0);
}

// The scene's depth at this pixel before the sea was drawn.
float sceneDepthHere()
{
    return texelFetch(sceneDepthBefore, ivec2(gl_FragCoord.xy), 0).r;
}

// The depth test runs on the grid, which lies above the crests; a fragment that passes
// it may still be hidden. Along its ray the sea can only be met at or beyond the point
// where the ray enters the shell of the wave crests; when the scene already drawn at
// this pixel is nearer than that point, whatever this fragment shades is hidden. The
// margin (far above the depth's rounding) keeps every fragment that could be seen.
const float HIDDEN_DEPTH_MARGIN = 1e-6;

bool hiddenBehindScene(vec3 origin, vec3 dir, float planetRadius, float crestHeight)
{
    vec2 top = shellCrossing(origin, dir, planetRadius, crestHeight);
    if (top.x > top.y || top.y <= 0.0) return false; // the trace finds no water here
    float entryDepth = surfaceDepth(origin + dir * max(top.x, 0.0));
    return entryDepth > sceneDepthHere() + HIDDEN_DEPTH_MARGIN;
}
