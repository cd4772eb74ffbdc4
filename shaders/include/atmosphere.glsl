// Single scattering in the atmosphere shell around the planet sphere, centre
// (0, -radius, 0): Rayleigh and Mie light scattered towards the eye along a view ray,
// lit by the sun through the shell. Shared by the sky and the water shaders.

const float PI = 3.14159265;

// Vertical optical depth through the whole shell at density 1: Rayleigh per unit of
// "RGB scatter", Mie (grey).
const float RAYLEIGH_DEPTH = 0.35;
const float MIE_DEPTH = 0.008;
// Mie haze stays lower than the air: its scale height against the Rayleigh one.
const float MIE_HEIGHT_RATIO = 0.12;
// Mie particles absorb a little too: extinction against scattering.
const float MIE_EXTINCTION = 1.1;
// Ozone absorbs orange and green light where the air is: without it a low sun would
// turn the sky green. Per unit of the Rayleigh coefficient for blue.
const vec3 OZONE_RATIO = vec3(0.06, 0.17, 0.008);
// Sunlight reaching the top of the atmosphere, in the units the exposure expects.
const float SUN_ILLUMINANCE = 14.0;
// The faint glow of the night sky once the sun is down (starlight, airglow).
const vec3 NIGHT_GLOW = vec3(0.0025, 0.004, 0.009);

// 0 by day, 1 once the sun is well below the horizon.
float nightFactor(vec3 sunDirection)
{
    return smoothstep(0.08, -0.18, sunDirection.y);
}

struct Atmosphere {
    vec3 sunDirection;
    vec3 sunColor;
    vec3 rgbScatter;
    float planetRadius;
    float thickness;
    float averagePoint; // the Rayleigh scale height as a share of the thickness
    float density;
    float rayleighIntensity;
    float mieIntensity;
    float mieFactor;    // the Mie phase asymmetry g
    float exposure;
    int mainSteps;
    int subSteps;
};

// The air as coefficients per world unit and scale heights.
struct Medium {
    vec3 rayleigh;
    vec3 rayleighExtinction; // with the ozone's absorption
    float mie;
    float rayleighHeight;
    float mieHeight;
};

Medium mediumOf(Atmosphere a)
{
    Medium m;
    m.rayleighHeight = max(a.thickness * a.averagePoint, 1e-3);
    m.mieHeight = m.rayleighHeight * MIE_HEIGHT_RATIO;
    m.rayleigh = a.rgbScatter * a.density * RAYLEIGH_DEPTH / m.rayleighHeight;
    m.rayleighExtinction = m.rayleigh + OZONE_RATIO * m.rayleigh.b;
    m.mie = a.density * MIE_DEPTH / m.mieHeight;
    return m;
}

// Distances along a unit ray to where it enters and leaves the sphere of radius
// planetRadius + offset around (0, -planetRadius, 0); x > y when it misses. Written
// around the origin's own height so that points near the surface keep their precision
// (the radius is large against the heights that matter).
vec2 shellCrossing(vec3 origin, vec3 dir, float planetRadius, float offset)
{
    float b = dot(origin, dir) + planetRadius * dir.y;
    float c = dot(origin, origin) + 2.0 * planetRadius * origin.y - offset * (2.0 * planetRadius + offset);
    float disc = b * b - c;
    if (disc < 0.0) return vec2(1e30, -1e30);
    float s = sqrt(disc);
    return vec2(-b - s, -b + s);
}

// Height of a point above the planet sphere.
float altitude(vec3 p, float planetRadius)
{
    float fromCentre = length(p + vec3(0.0, planetRadius, 0.0));
    return (dot(p, p) + 2.0 * planetRadius * p.y) / (fromCentre + planetRadius);
}

// Rayleigh and Mie density integrals from p towards the sun, out of the shell.
vec2 sunOpticalDepth(Atmosphere a, Medium m, vec3 p, int steps)
{
    vec2 shell = shellCrossing(p, a.sunDirection, a.planetRadius, a.thickness);
    float len = max(shell.y, 0.0);
    float ds = len / float(steps);
    vec2 depth = vec2(0.0);
    for (int i = 0; i < steps; i++) {
        vec3 q = p + a.sunDirection * ((float(i) + 0.5) * ds);
        float h = max(altitude(q, a.planetRadius), 0.0);
        depth += exp(-h / vec2(m.rayleighHeight, m.mieHeight)) * ds;
    }
    return depth;
}

// The sunlight that reaches p through the air (0 when the planet is in the way).
vec3 sunlightAt(Atmosphere a, Medium m, vec3 p, int steps)
{
    vec2 ground = shellCrossing(p, a.sunDirection, a.planetRadius, 0.0);
    if (ground.x > 0.0 && ground.x < ground.y) return vec3(0.0);
    vec2 depth = sunOpticalDepth(a, m, p, steps);
    return a.sunColor * exp(-(m.rayleighExtinction * depth.x + m.mie * MIE_EXTINCTION * depth.y));
}

float rayleighPhase(float mu)
{
    return 3.0 / (16.0 * PI) * (1.0 + mu * mu);
}

// Cornette-Shanks: Henyey-Greenstein with the Rayleigh-like lobe at the back.
float miePhase(float mu, float g)
{
    float g2 = g * g;
    return 3.0 / (8.0 * PI) * ((1.0 - g2) * (1.0 + mu * mu)) /
           ((2.0 + g2) * pow(max(1.0 + g2 - 2.0 * g * mu, 1e-4), 1.5));
}

struct Scattering {
    vec3 inscatter;     // light scattered towards the eye (before exposure)
    vec3 transmittance; // of what lies at the end of the ray
    bool hitsPlanet;
};

// Seen from below the sea (a camera flown under it), the air starts at the surface:
// the origin moved up there and the distance shortened to match.
void startAtSurface(Atmosphere a, float originAltitude, inout vec3 origin, inout float maxDistance)
{
    if (originAltitude < 0.0) {
        origin -= normalize(origin + vec3(0.0, a.planetRadius, 0.0)) * originAltitude;
        maxDistance = max(maxDistance + originAltitude, 0.0);
    }
}

// The ray runs into the planet when it meets the sphere ahead, or starts on it heading
// down. `origin` as startAtSurface leaves it.
bool hitsPlanetSphere(vec3 origin, vec3 dir, float planetRadius)
{
    vec2 planet = shellCrossing(origin, dir, planetRadius, 0.0);
    bool downwards = dot(dir, origin + vec3(0.0, planetRadius, 0.0)) < 0.0;
    return planet.x < planet.y && planet.y > 0.0 && (planet.x > 0.0 || downwards);
}

// Scattering along the ray from `origin` (at `originAltitude` above the planet sphere)
// up to `maxDistance`, the planet or the top of the shell. `strength` scales the air
// (thinner haze over the short distances of the scene than towards the sky).
Scattering scatterAlong(Atmosphere a, vec3 origin, float originAltitude, vec3 dir, float maxDistance, float strength)
{
    Scattering result;
    result.inscatter = vec3(0.0);
    result.transmittance = vec3(1.0);
    startAtSurface(a, originAltitude, origin, maxDistance);
    vec2 planet = shellCrossing(origin, dir, a.planetRadius, 0.0);
    result.hitsPlanet = hitsPlanetSphere(origin, dir, a.planetRadius);

    vec2 shell = shellCrossing(origin, dir, a.planetRadius, a.thickness);
    if (shell.x > shell.y || shell.y <= 0.0) return result;
    float start = max(shell.x, 0.0);
    float end = min(shell.y, maxDistance);
    if (result.hitsPlanet) end = min(end, max(planet.x, 0.0));
    if (end <= start) return result;

    Medium m = mediumOf(a);
    int steps = clamp(a.mainSteps, 1, 100);
    int subSteps = clamp(a.subSteps, 1, 100);
    float ds = (end - start) / float(steps);
    vec2 viewDepth = vec2(0.0);
    vec3 sumRayleigh = vec3(0.0);
    vec3 sumMie = vec3(0.0);
    for (int i = 0; i < steps; i++) {
        vec3 p = origin + dir * (start + (float(i) + 0.5) * ds);
        float h = max(altitude(p, a.planetRadius), 0.0);
        vec2 density = exp(-h / vec2(m.rayleighHeight, m.mieHeight)) * ds;
        viewDepth += density * 0.5;
        vec2 ground = shellCrossing(p, a.sunDirection, a.planetRadius, 0.0);
        if (!(ground.x > 0.0 && ground.x < ground.y)) {
            vec2 sunDepth = sunOpticalDepth(a, m, p, subSteps);
            vec3 tau = strength * (m.rayleighExtinction * (viewDepth.x + sunDepth.x) +
                                   m.mie * MIE_EXTINCTION * (viewDepth.y + sunDepth.y));
            vec3 attenuation = exp(-tau);
            sumRayleigh += density.x * attenuation;
            sumMie += density.y * attenuation;
        }
        viewDepth += density * 0.5;
    }
    float mu = dot(dir, a.sunDirection);
    result.inscatter = a.sunColor * SUN_ILLUMINANCE * strength *
                       (a.rayleighIntensity * rayleighPhase(mu) * m.rayleigh * sumRayleigh +
                        a.mieIntensity * miePhase(mu, a.mieFactor) * m.mie * sumMie);
    result.transmittance = exp(-strength * (m.rayleighExtinction * viewDepth.x + m.mie * MIE_EXTINCTION * viewDepth.y));
    return result;
}

// Exposure: radiance to a displayable value in 0..1.
vec3 expose(vec3 radiance, float exposure)
{
    return 1.0 - exp(-exposure * radiance);
}

// The block's values as built into the optimised shaders (the sky's defaults).
Atmosphere defaultAtmosphere(vec3 sunDirection, int mainSteps, int subSteps)
{
    Atmosphere a;
    a.sunDirection = sunDirection;
    a.sunColor = vec3(1.0);
    a.rgbScatter = vec3(0.10662226, 0.32444158, 0.68301356);
    a.planetRadius = 12742.0;
    a.thickness = 1000.0;
    a.averagePoint = 0.125;
    a.density = 1.0;
    a.rayleighIntensity = 1.8;
    a.mieIntensity = 1.5;
    a.mieFactor = 0.8;
    a.exposure = 1.5;
    a.mainSteps = mainSteps;
    a.subSteps = subSteps;
    return a;
}
