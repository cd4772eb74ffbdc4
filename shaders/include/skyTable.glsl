// The scattering tables: the sky's scattering worked out for a grid of view directions
// (and, for the haze over the scene, of distances) once per camera position and sun,
// so that the sky pass only looks them up. Needs atmosphere.glsl.
//
// Both tables share one layout in two images (in-scattered light, transmittance):
// - the sky: (SKY_AZIMUTHS + 1) columns of azimuth round the camera's up direction
//   (the last repeats the first), SKY_ELEVATIONS rows below the horizon, then as many
//   above it; each half runs from the horizon outwards on a square-root scale, so the
//   rows crowd where the sky changes fastest and no lookup mixes the air above the
//   horizon with the sea below it;
// - the haze: HAZE_DISTANCES blocks under the sky's rows, each (HAZE_AZIMUTHS + 1)
//   columns by HAZE_ELEVATIONS rows, for distances from 0 to the camera's far plane on
//   a logarithmic scale (the haze changes fastest over the near distances).

const int SKY_AZIMUTHS = 256;
const int SKY_ELEVATIONS = 128;
const int HAZE_AZIMUTHS = 128;
const int HAZE_ELEVATIONS = 32;
const int HAZE_DISTANCES = 64;
// Distances run on a logarithmic scale from 0 to the far plane: near this one the
// scale turns from even steps to even ratios.
const float HAZE_DISTANCE_KNEE = 16.0;
const int TABLE_WIDTH = SKY_AZIMUTHS + 1;
const int TABLE_HEIGHT = 2 * SKY_ELEVATIONS + HAZE_DISTANCES * HAZE_ELEVATIONS;
const float TWO_PI = 6.2831853;

// The camera's own frame on the planet: up from the planet's centre, two directions
// across, and the cosine (against up) of the direction towards the horizon.
struct TableFrame {
    vec3 up;
    vec3 across;
    vec3 along;
    float horizon;
};

TableFrame tableFrame(vec3 cameraPosition, float cameraAltitude, float planetRadius)
{
    TableFrame f;
    f.up = normalize(cameraPosition + vec3(0.0, planetRadius, 0.0));
    f.across = normalize(cross(f.up, vec3(0.0, 0.0, 1.0)));
    f.along = cross(f.across, f.up);
    float r = planetRadius / (planetRadius + max(cameraAltitude, 0.0));
    f.horizon = -sqrt(max(1.0 - r * r, 0.0));
    return f;
}

float tableAzimuth(TableFrame f, vec3 dir)
{
    float azimuth = atan(dot(dir, f.along), dot(dir, f.across));
    return azimuth < 0.0 ? azimuth + TWO_PI : azimuth;
}

vec3 tableDirection(TableFrame f, float azimuth, float cosine)
{
    float sine = sqrt(max(1.0 - cosine * cosine, 0.0));
    return normalize(f.up * cosine + (f.across * cos(azimuth) + f.along * sin(azimuth)) * sine);
}

// Sky rows: 0 at the horizon to 1 outwards, in either half.
float skyRowAbove(TableFrame f, float cosine)
{
    return sqrt(clamp((cosine - f.horizon) / max(1.0 - f.horizon, 1e-6), 0.0, 1.0));
}

float skyRowBelow(TableFrame f, float cosine)
{
    return sqrt(clamp((f.horizon - cosine) / max(f.horizon + 1.0, 1e-6), 0.0, 1.0));
}

float skyCosineAbove(TableFrame f, float row)
{
    return f.horizon + row * row * (1.0 - f.horizon);
}

float skyCosineBelow(TableFrame f, float row)
{
    return f.horizon - row * row * (f.horizon + 1.0);
}

// Haze rows: the cosine on a signed square-root scale, fine near the horizontal.
float hazeRow(float cosine)
{
    return 0.5 + 0.5 * sign(cosine) * sqrt(abs(cosine));
}

float hazeCosine(float row)
{
    float s = row * 2.0 - 1.0;
    return sign(s) * s * s;
}

float hazeScale(float farPlane)
{
    return log2(1.0 + max(farPlane, 1.0) / HAZE_DISTANCE_KNEE);
}

float hazeSlice(float distance, float farPlane)
{
    float w = log2(1.0 + max(distance, 0.0) / HAZE_DISTANCE_KNEE) / hazeScale(farPlane);
    return clamp(w, 0.0, 1.0) * float(HAZE_DISTANCES - 1);
}

float hazeDistance(float slice, float farPlane)
{
    float w = slice / float(HAZE_DISTANCES - 1);
    return HAZE_DISTANCE_KNEE * (exp2(w * hazeScale(farPlane)) - 1.0);
}

// Texel coordinates (not yet divided by the table's size) of a sky direction.
vec2 skyTexel(TableFrame f, vec3 dir, bool belowHorizon)
{
    float cosine = dot(dir, f.up);
    float row = belowHorizon ? skyRowBelow(f, cosine) : skyRowAbove(f, cosine);
    float y = row * float(SKY_ELEVATIONS - 1) + 0.5 + (belowHorizon ? 0.0 : float(SKY_ELEVATIONS));
    float x = tableAzimuth(f, dir) / TWO_PI * float(SKY_AZIMUTHS) + 0.5;
    return vec2(x, y);
}

// Texel coordinates of a haze direction in distance block `block`.
vec2 hazeTexel(TableFrame f, vec3 dir, int block)
{
    float x = tableAzimuth(f, dir) / TWO_PI * float(HAZE_AZIMUTHS) + 0.5;
    float y = hazeRow(dot(dir, f.up)) * float(HAZE_ELEVATIONS - 1) + 0.5;
    return vec2(x, y + float(2 * SKY_ELEVATIONS + block * HAZE_ELEVATIONS));
}

// The haze over the scene is thinner than the air the sky is seen through, so the
// island stays clear while the far sea fades into the horizon.
const float AERIAL_STRENGTH = 0.25;

// Grazing rays exactly along the horizon are nudged to the side of the half they fill.
const float HORIZON_NUDGE = 1e-5;

// The scattering a table texel holds: the sky towards its direction, or the haze
// towards its direction and distance. `origin` is the camera position.
Scattering tableEntry(Atmosphere a, TableFrame f, ivec2 texel, vec3 origin, float originAltitude, float farPlane)
{
    if (texel.y < 2 * SKY_ELEVATIONS) {
        bool below = texel.y < SKY_ELEVATIONS;
        float row = float(below ? texel.y : texel.y - SKY_ELEVATIONS) / float(SKY_ELEVATIONS - 1);
        float cosine = below ? skyCosineBelow(f, row) - HORIZON_NUDGE : skyCosineAbove(f, row) + HORIZON_NUDGE;
        float azimuth = float(texel.x) / float(SKY_AZIMUTHS) * TWO_PI;
        vec3 dir = tableDirection(f, azimuth, clamp(cosine, -1.0, 1.0));
        return scatterAlong(a, origin, originAltitude, dir, 1e30, 1.0);
    }
    int y = texel.y - 2 * SKY_ELEVATIONS;
    int block = y / HAZE_ELEVATIONS;
    float row = float(y - block * HAZE_ELEVATIONS) / float(HAZE_ELEVATIONS - 1);
    float azimuth = float(min(texel.x, HAZE_AZIMUTHS)) / float(HAZE_AZIMUTHS) * TWO_PI;
    vec3 dir = tableDirection(f, azimuth, hazeCosine(row));
    return scatterAlong(a, origin, originAltitude, dir, hazeDistance(float(block), farPlane), AERIAL_STRENGTH);
}
