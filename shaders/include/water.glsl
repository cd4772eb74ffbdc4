// The water's uniform blocks and its surface: a sum of sharp-crested waves on the sea
// sphere (radius = planet radius, centre (0, -radius, 0)). Needs atmosphere.glsl.

// The normal shaders' block (std140, 164 bytes).
#define WATER_PARAMS_BLOCK(SET, BINDING)                                             \
    layout(set = SET, binding = BINDING) uniform WaterParamsBlock {                  \
        mat4 inverseViewProjection;                                                   \
        vec3 rgbScatter;                                                              \
        float pad0;                                                                   \
        vec3 rgbAbsorption;                                                           \
        float pad1;                                                                   \
        vec2 prepassScale;                                                            \
        float absorptionFactor;                                                       \
        float time;                                                                   \
        float timeMultiplier;                                                         \
        float sizeScaling;                                                            \
        float heightScaling;                                                          \
        int iterations;                                                               \
        float offsetWeight;                                                           \
        float heightWeight;                                                           \
        float phaseWeight;                                                            \
        float speedWeight;                                                            \
        float dxMul;                                                                  \
        float density;                                                                \
        float depth;                                                                  \
        float refractiveStrength;                                                     \
        int mainRaySteps;                                                             \
    } water;

// The optimised shaders' block (std140, 76 bytes).
#define WATER_OPT_BLOCK(SET, BINDING)                                                \
    layout(set = SET, binding = BINDING) uniform WaterOptBlock {                     \
        mat4 inverseViewProjection;                                                   \
        vec2 prepassScale;                                                            \
        float time;                                                                   \
    } water;

// The wave field's shape.
struct Waves {
    float time;         // seconds, already scaled
    float sizeScaling;  // world units per unit of the field
    float heightScaling;
    int iterations;
    float offsetWeight; // how far each wave drags the next ones towards its crests
    float heightWeight; // amplitude factor from one wave to the next
    float phaseWeight;  // frequency factor
    float speedWeight;  // speed factor
    float dxMul;        // the finest detail of the normals, world units
};

// Each wave turns by the golden angle against the one before, so no two line up.
const float WAVE_TURN = 2.3999632;
const mat2 WAVE_ROTATION = mat2(cos(WAVE_TURN), sin(WAVE_TURN), -sin(WAVE_TURN), cos(WAVE_TURN));
// Peak-to-trough height of the field per unit of "Height scaling".
const float WAVE_HEIGHT_UNIT = 4.0;
// The normals steepen the slopes of the field: the small waves that ruffle the
// surface are too low to see as shape but catch the light.
const float NORMAL_STRENGTH = 6.0;

// The field in 0..1 at a point of the sea (world x and z): sharp crests exp(sin - 1),
// each wave moving the sample point along its slope so that crests bunch together.
float waveField(Waves w, vec2 xz, int iterations)
{
    vec2 p = xz / max(w.sizeScaling, 1e-3);
    float amplitude = 1.0;
    float frequency = 1.0;
    float speed = 1.0;
    vec2 d = vec2(1.0, 0.0);
    float sum = 0.0;
    float total = 0.0;
    for (int i = 0; i < iterations; i++) {
        float x = dot(d, p) * frequency + w.time * speed;
        float crest = exp(sin(x) - 1.0);
        float slope = crest * cos(x);
        p -= d * slope * amplitude * w.offsetWeight / frequency;
        sum += crest * amplitude;
        total += amplitude;
        amplitude *= w.heightWeight;
        frequency *= w.phaseWeight;
        speed *= w.speedWeight;
        d = WAVE_ROTATION * d;
    }
    return sum / max(total, 1e-6);
}

float waveAmplitude(Waves w)
{
    return 0.5 * w.heightScaling * WAVE_HEIGHT_UNIT;
}

// Height of the surface above the sea sphere at world x and z.
float surfaceHeight(Waves w, vec2 xz, int iterations)
{
    return waveAmplitude(w) * (2.0 * waveField(w, xz, iterations) - 1.0);
}

// Where the view ray meets the waves, refined by secant steps between the tops and
// the bottoms of the waves; negative when it does not. `originAltitude` is the
// origin's height above the sea sphere.
float traceSurface(Waves w, vec3 origin, float originAltitude, vec3 dir, float planetRadius, int steps,
                   int iterations)
{
    float amplitude = waveAmplitude(w);
    if (originAltitude < -amplitude) return -1.0; // under the sea
    vec2 top = shellCrossing(origin, dir, planetRadius, amplitude);
    if (top.x > top.y || top.y <= 0.0) return -1.0;
    vec2 bottom = shellCrossing(origin, dir, planetRadius, -amplitude);
    float near = max(top.x, 0.0);
    float far = (bottom.x < bottom.y && bottom.x > 0.0) ? bottom.x : top.y;

    vec3 p = origin + dir * near;
    float hNear = altitude(p, planetRadius) - surfaceHeight(w, p.xz, iterations);
    p = origin + dir * far;
    float hFar = altitude(p, planetRadius) - surfaceHeight(w, p.xz, iterations);
    if (hNear < 0.0) return near;
    if (hFar > 0.0) {
        // Grazing the waves near the horizon without touching a crest: the sea sphere
        // itself, if the ray reaches it.
        vec2 sea = shellCrossing(origin, dir, planetRadius, 0.0);
        return (sea.x < sea.y && sea.x > 0.0) ? sea.x : -1.0;
    }
    for (int i = 0; i < steps; i++) {
        float t = mix(near, far, hNear / max(hNear - hFar, 1e-6));
        p = origin + dir * t;
        float h = altitude(p, planetRadius) - surfaceHeight(w, p.xz, iterations);
        if (h > 0.0) {
            near = t;
            hNear = h;
        } else {
            far = t;
            hFar = h;
        }
    }
    return mix(near, far, hNear / max(hNear - hFar, 1e-6));
}

// The mean of one sharp crest exp(sin x - 1) over a period: what a wave too short to
// show contributes on average.
const float MEAN_CREST = 0.4658;
// The angle one pixel covers, about: waves shorter than a few pixels fade out.
const float PIXEL_ANGLE = 0.0012;

// The field (x) and its slope along world x and z (y, z), per world unit, with the
// waves shorter than a few `footprint`s faded to their mean so the far sea does not
// shimmer. The same waves as waveField.
vec3 waveFieldSlope(Waves w, vec2 xz, int iterations, float footprint)
{
    float scale = 1.0 / max(w.sizeScaling, 1e-3);
    vec2 p = xz * scale;
    float amplitude = 1.0;
    float frequency = 1.0;
    float speed = 1.0;
    vec2 d = vec2(1.0, 0.0);
    float sum = 0.0;
    float total = 0.0;
    vec2 slopeSum = vec2(0.0);
    for (int i = 0; i < iterations; i++) {
        float wavelength = 6.2831853 / (frequency * scale);
        float fade = smoothstep(2.0 * footprint, 4.0 * footprint, wavelength);
        if (fade > 0.0) {
            float x = dot(d, p) * frequency + w.time * speed;
            float crest = exp(sin(x) - 1.0);
            float slope = crest * cos(x);
            p -= d * slope * amplitude * w.offsetWeight / frequency;
            sum += amplitude * mix(MEAN_CREST, crest, fade);
            slopeSum += d * (slope * amplitude * fade * frequency * scale);
        } else {
            sum += amplitude * MEAN_CREST;
        }
        total += amplitude;
        amplitude *= w.heightWeight;
        frequency *= w.phaseWeight;
        speed *= w.speedWeight;
        d = WAVE_ROTATION * d;
    }
    return vec3(sum, slopeSum) / max(total, 1e-6);
}

// The surface normal at a point from the slopes of the waves; far away it leans back
// to straight up. `field` receives the wave field there (0..1, high on the crests).
vec3 surfaceNormal(Waves w, vec3 p, float distance, float planetRadius, int iterations, out float field)
{
    vec3 up = normalize(p + vec3(0.0, planetRadius, 0.0));
    float footprint = max(max(w.dxMul, 1e-3), distance * PIXEL_ANGLE);
    vec3 wave = waveFieldSlope(w, p.xz, iterations, footprint);
    field = wave.x;
    vec2 slope = 2.0 * waveAmplitude(w) * wave.yz * NORMAL_STRENGTH;
    vec3 n = normalize(vec3(-slope.x, 1.0, -slope.y));
    // The field's y axis is the sphere's up; the island is small against the planet.
    n = normalize(n + (up - vec3(0.0, 1.0, 0.0)));
    return normalize(mix(n, up, smoothstep(300.0, 3000.0, distance) * 0.85));
}

// A slope that turns its back to the eye (seen over a crest) is tilted until it
// faces the eye just enough to be lit and reflect.
vec3 facingNormal(vec3 n, vec3 dir)
{
    float away = dot(n, dir);
    if (away <= 0.0) return n;
    return normalize(n - dir * (away + 0.02));
}

// The wave height scaling the optimised shaders build in.
const float OPT_HEIGHT_SCALING = 0.2197;

// How far above the sea sphere the grid is laid: over the highest crest, and further
// by a margin for the grid's flat triangles, which cut below the curved shell between
// their corners (by up to a few units where long triangles reach the horizon). The
// colour pass tests the grid's depth against the scene before shading, so no wave the
// trace can find may lie in front of the grid.
const float GRID_LIFT_MARGIN = 4.0;

float gridLift(float heightScaling)
{
    return 0.5 * heightScaling * WAVE_HEIGHT_UNIT + GRID_LIFT_MARGIN;
}

// The vertex stage: a grid vertex's ray (from the inverse of the projection times the
// view without translation) meets the shell `lift` above the sea sphere; rays that miss
// it stop at the horizon's distance. Every vertex stays on its own ray, so the grid
// covers the screen.
vec3 gridVertexOnSea(mat4 inverseViewProjection, vec2 grid, float planetRadius, float lift)
{
    vec4 far = inverseViewProjection * vec4(grid, 1.0, 1.0);
    vec3 dir = abs(far.w) > 1e-20 ? far.xyz / far.w : vec3(0.0, -1.0, 0.0);
    dir = length(dir) > 0.0 ? normalize(dir) : vec3(0.0, -1.0, 0.0);
    vec2 sea = shellCrossing(camera.position, dir, planetRadius, lift);
    float horizon = sqrt(max(dot(camera.position, camera.position) + 2.0 * planetRadius * camera.position.y, 1.0));
    float t = (sea.x < sea.y && sea.x > 0.0) ? sea.x : horizon;
    t = clamp(t, camera.nearPlane * 2.0, camera.farPlane * 0.9);
    return camera.position + dir * t;
}
