// Lighting of buildings: their colours under the sun (shadowed by the cascades) and the
// sky, fading into the haze with distance, as the ground is lit. Needs the camera, sky
// and shadow blocks, the shadow map, shadow.glsl and terrain.glsl.

const int BUILDING_SHADOW_TAPS = 4;

// A little light from the side away from the sun, so that shaded walls keep their
// shape instead of going flat.
const float BUILDING_BOUNCE = 0.18;

vec3 shadeBuilding(vec3 albedo, vec3 worldPosition, vec3 normal, sampler2DArrayShadow map)
{
    normal = normalize(normal);
    vec3 sunDirection = normalize(sky.sunDirection);
    vec3 toPoint = worldPosition - camera.position;
    float distance = length(toPoint);

    float cosine = dot(normal, sunDirection);
    float lit = 0.0;
    if (cosine > 0.0) {
        float viewDepth = dot(toPoint, camera.forward);
        lit = cascadedShadow(map, worldPosition, viewDepth, camera.nearPlane, cosine, BUILDING_SHADOW_TAPS, true);
    }
    vec3 sunLight = sunlightThroughAir(sunDirection, sky.sunColor, sky.rgbScatter, sky.atmosphereDensity);
    vec3 ambient = skyLight(sunDirection, sky.sunColor, sky.rgbScatter, sky.rayleighIntensity);
    vec3 color = shadeGround(albedo, normal, sunDirection, sunLight, ambient, lit);
    vec3 away = normalize(vec3(-sunDirection.x, 0.0, -sunDirection.z) + vec3(0.0, 1e-4, 0.0));
    color += albedo * sunLight * BUILDING_BOUNCE * max(dot(normal, away), 0.0);

    vec3 haze = hazeColor(toPoint / max(distance, 1e-4), sunDirection, sunLight, ambient, sky.mieIntensity);
    return mix(color, haze, hazeAmount(distance, sky.atmosphereDensity, sky.atmosphereThickness));
}
