// The sky pass: the finished scene with aerial perspective over its pixels, and the
// sky with the sun and the stars where the scene is empty. Needs the camera block and
// atmosphere.glsl.

layout(set = 1, binding = 3) uniform samplerCube stars;
layout(set = 1, binding = 4) uniform sampler2D sceneColor;
layout(set = 1, binding = 5) uniform sampler2D sceneDepth;

// The haze over the scene is thinner than the air the sky is seen through, so the
// island stays clear while the far sea fades into the horizon.
const float AERIAL_STRENGTH = 0.25;
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

// `cameraAltitude` is the camera's height above the planet sphere.
vec3 composeSky(Atmosphere a, float cameraAltitude, vec3 dir)
{
    ivec2 size = textureSize(sceneColor, 0);
    ivec2 pixel = clamp(ivec2(gl_FragCoord.xy), ivec2(0), size - 1);
    vec3 scene = texelFetch(sceneColor, pixel, 0).rgb;
    float depth = texelFetch(sceneDepth, pixel, 0).r;

    if (depth < 1.0) {
        Scattering haze =
            scatterAlong(a, camera.position, cameraAltitude, dir, sceneDistance(depth, dir), AERIAL_STRENGTH);
        return scene * haze.transmittance + expose(haze.inscatter, a.exposure);
    }

    Scattering sky = scatterAlong(a, camera.position, cameraAltitude, dir, 1e30, 1.0);
    vec3 radiance = sky.inscatter;
    float night = nightFactor(a.sunDirection);
    if (!sky.hitsPlanet) {
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
