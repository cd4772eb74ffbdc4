// The sky pass: the finished scene with aerial perspective over its pixels, and the
// sky with the sun and the stars where the scene is empty. The scattering itself comes
// from the tables (skyTable.glsl), made for this camera position and sun. Needs the
// camera block, atmosphere.glsl and skyTable.glsl.
//
// The two halves are two draws of the sky cube, each kept by the depth test to its own
// pixels (the scene's depth is the pass's read-only depth attachment): lavapipe runs
// both sides of a branch for every block of pixels, but drops pixels that fail the
// depth test before the shader runs.

layout(set = 1, binding = 3) uniform samplerCube stars;
layout(set = 1, binding = 4) uniform sampler2D sceneColor;
layout(set = 1, binding = 5) uniform sampler2D sceneDepth;
layout(set = 1, binding = 6) uniform sampler2D inscatterTable;
layout(set = 1, binding = 7) uniform sampler2D transmittanceTable;

// Angular radius of the sun's disc and its brightness against the sky.
const float SUN_DISC_RADIUS = 0.0125;
const float SUN_DISC_BRIGHTNESS = 60.0;
// Stars and the faint night glow show once the sun is below the horizon.
const float STAR_BRIGHTNESS = 1.6;
// The far sea where no water was drawn (beyond the grid's reach): deep blue lit by
// the day.
const vec3 FAR_SEA = vec3(0.003, 0.012, 0.028);

// Distance along the ray to the scene pixel's point; the scene depth is the camera's
// perspective depth (0 at the near plane, 1 at the far plane).
float sceneDistance(float depth, vec3 dir)
{
    float n = camera.nearPlane;
    float f = camera.farPlane;
    float viewDepth = n * f / (f - depth * (f - n));
    return viewDepth / max(dot(dir, camera.forward), 1e-4);
}

Scattering tableLookup(vec2 texel)
{
    vec2 uv = texel / vec2(TABLE_WIDTH, TABLE_HEIGHT);
    Scattering s;
    s.inscatter = texture(inscatterTable, uv).rgb;
    s.transmittance = texture(transmittanceTable, uv).rgb;
    s.hitsPlanet = false;
    return s;
}

// The haze towards `dir` up to `distance`, between the two nearest distance blocks.
Scattering hazeFromTable(TableFrame f, vec3 dir, float distance)
{
    float slice = hazeSlice(distance, camera.farPlane);
    int block = min(int(slice), HAZE_DISTANCES - 2);
    float t = clamp(slice - float(block), 0.0, 1.0);
    Scattering near = tableLookup(hazeTexel(f, dir, block));
    Scattering far = tableLookup(hazeTexel(f, dir, block + 1));
    near.inscatter = mix(near.inscatter, far.inscatter, t);
    near.transmittance = mix(near.transmittance, far.transmittance, t);
    return near;
}

// The scene's pixel seen along `dir`, behind the haze up to it. `cameraAltitude` is the
// camera's height above the planet sphere.
vec3 composeHaze(Atmosphere a, float cameraAltitude, vec3 dir)
{
    ivec2 size = textureSize(sceneColor, 0);
    ivec2 pixel = clamp(ivec2(gl_FragCoord.xy), ivec2(0), size - 1);
    vec3 scene = texelFetch(sceneColor, pixel, 0).rgb;
    float depth = texelFetch(sceneDepth, pixel, 0).r;
    TableFrame frame = tableFrame(camera.position, cameraAltitude, a.planetRadius);
    Scattering haze = hazeFromTable(frame, dir, sceneDistance(depth, dir));
    return scene * haze.transmittance + expose(haze.inscatter, a.exposure);
}

// The sky along `dir` where the scene is empty.
vec3 composeSky(Atmosphere a, float cameraAltitude, vec3 dir)
{
    TableFrame frame = tableFrame(camera.position, cameraAltitude, a.planetRadius);
    vec3 origin = camera.position;
    float unused = 1e30;
    startAtSurface(a, cameraAltitude, origin, unused);
    bool hitsPlanet = hitsPlanetSphere(origin, dir, a.planetRadius);
    Scattering sky = tableLookup(skyTexel(frame, dir, hitsPlanet));
    vec3 radiance = sky.inscatter;
    float night = nightFactor(a.sunDirection);
    if (!hitsPlanet) {
        float mu = dot(dir, a.sunDirection);
        float disc = smoothstep(cos(SUN_DISC_RADIUS * 1.25), cos(SUN_DISC_RADIUS), mu);
        radiance += a.sunColor * SUN_DISC_BRIGHTNESS * disc * sky.transmittance;
        // The stars fade out as the day sky brightens, and dim towards the horizon
        // without taking on the air's colour. The star map stores square roots.
        float dayLight = dot(sky.inscatter, vec3(0.2126, 0.7152, 0.0722));
        float starVisibility = night / (1.0 + 40.0 * dayLight);
        vec3 starLight = texture(stars, dir).rgb;
        float clearness = dot(sky.transmittance, vec3(0.2126, 0.7152, 0.0722));
        radiance += starLight * starLight * STAR_BRIGHTNESS * starVisibility * clearness;
    } else {
        vec3 sun = a.sunColor * SUN_ILLUMINANCE * max(a.sunDirection.y, 0.0);
        radiance += FAR_SEA * sun * sky.transmittance;
    }
    radiance += NIGHT_GLOW * night;
    return expose(radiance, a.exposure);
}
