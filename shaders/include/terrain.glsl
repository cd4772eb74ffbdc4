// The terrain shaders' shared parts: the chunk block and the lighting of the ground
// under the sun and the sky.

// The chunk's model matrix (64 bytes): a translation to the chunk's origin.
#define CHUNK_BLOCK(SET, BINDING)                                                    \
    layout(set = SET, binding = BINDING) uniform ChunkBlock {                        \
        mat4 model;                                                                   \
    } chunk;

// The sky's defaults, built into the optimised shaders (they read only the sun).
const vec3 DEFAULT_SUN_COLOR = vec3(1.0);
const vec3 DEFAULT_SCATTER = vec3(0.10662226, 0.32444158, 0.68301356);
const float DEFAULT_PLANET_RADIUS = 12742.0;
const float DEFAULT_ATMOSPHERE_THICKNESS = 1000.0;
const float DEFAULT_ATMOSPHERE_DENSITY = 1.0;
const float DEFAULT_RAYLEIGH = 1.8;
const float DEFAULT_MIE = 1.5;

// The water's defaults for the optimised prepass.
const vec3 DEFAULT_WATER_ABSORPTION = vec3(0.6, 0.08, 0.015);
const float DEFAULT_WATER_DENSITY = 0.05;

const float SUN_STRENGTH = 1.35;        // direct light of a white sun overhead
const float SKY_STRENGTH = 0.55;        // ambient light of the sky at full day
const float HAZE_PER_ATMOSPHERE = 0.16; // haze optical depth over one atmosphere thickness of view
const float WATER_REFRACTION = 1.33;

// Height above the sea sphere of radius R centred R below the origin.
float seaAltitude(vec3 worldPosition, float planetRadius)
{
    return length(worldPosition + vec3(0.0, planetRadius, 0.0)) - planetRadius;
}

// The sun's light on the ground: the air mass grows towards the horizon and scatters
// the blue out first; below the horizon nothing arrives.
vec3 sunlightThroughAir(vec3 sunDirection, vec3 sunColor, vec3 scatter, float density)
{
    float airMass = 1.0 / max(sunDirection.y + 0.08, 0.04);
    vec3 transmitted = sunColor * exp(-scatter * density * 0.22 * airMass);
    return transmitted * SUN_STRENGTH * smoothstep(-0.06, 0.08, sunDirection.y);
}

// The sky's ambient light: tinted by the scatter colours by day, a faint blue at night.
vec3 skyLight(vec3 sunDirection, vec3 sunColor, vec3 scatter, float rayleigh)
{
    float day = smoothstep(-0.2, 0.35, sunDirection.y);
    vec3 tint = scatter / max(max(scatter.r, scatter.g), max(scatter.b, 1e-4));
    vec3 daySky = sunColor * (0.22 + 0.3 * tint) * SKY_STRENGTH * (rayleigh / DEFAULT_RAYLEIGH);
    return mix(vec3(0.012, 0.016, 0.03), daySky, day);
}

// Vertex colours lit by the sun (shadowed by `lit`) and by the sky from above.
vec3 shadeGround(vec3 albedo, vec3 normal, vec3 sunDirection, vec3 sunLight, vec3 sky, float lit)
{
    float diffuse = max(dot(normal, sunDirection), 0.0);
    return albedo * (sunLight * (diffuse * lit) + sky * (0.7 + 0.3 * normal.y));
}

// The colour distant ground fades to: the sky's light, brighter towards the sun.
vec3 hazeColor(vec3 viewDirection, vec3 sunDirection, vec3 sunLight, vec3 sky, float mie)
{
    float towardsSun = max(dot(viewDirection, sunDirection), 0.0);
    return sky * 2.4 + sunLight * (0.08 + 0.3 * (mie / DEFAULT_MIE) * pow(towardsSun, 8.0));
}

// How much of the haze colour covers ground `distance` away.
float hazeAmount(float distance, float density, float thickness)
{
    return 1.0 - exp(-distance * HAZE_PER_ATMOSPHERE * density / thickness);
}

// Sunlight left after its way down through `depth` units of water to the ground:
// refracted steeper at the surface, absorbed red first.
vec3 underwaterSunlight(vec3 sunDirection, float depth, vec3 absorption, float density)
{
    float sine = sqrt(max(1.0 - sunDirection.y * sunDirection.y, 0.0)) / WATER_REFRACTION;
    float cosine = sqrt(1.0 - sine * sine);
    return exp(-absorption * density * depth / cosine);
}

// Light focused by the waves onto shallow ground: thin bright lines that drift.
float caustics(vec2 position, float time)
{
    vec2 q = position * 0.35;
    float waves = sin(q.x + time) + sin(q.y * 1.3 - time * 0.8) + sin((q.x + q.y) * 0.7 + time * 1.3);
    return pow(1.0 - abs(waves) / 3.0, 6.0);
}
