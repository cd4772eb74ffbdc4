#include "World/Sky/SunControl.h"

#include "World/Sky/Skybox.h"

#include <cmath>

f32 wrapSunAngle(f32 angle)
{
    angle -= std::floor(angle / SunControl::FullTurn) * SunControl::FullTurn;
    // A tiny negative angle rounds up to exactly one full turn; that is 0 again.
    if (angle >= SunControl::FullTurn || angle < 0.0f) angle = 0.0f;
    return angle;
}

f32 turnSun(f32 angle, const SunKeys& keys, f32 frameMs)
{
    const f32 rate = keys.shift ? SunControl::FastTurnRate : SunControl::TurnRate;
    const f32 step = rate * frameMs * SunControl::MillisecondsToSeconds;
    if (keys.left) angle -= step;
    if (keys.right) angle += step;
    return wrapSunAngle(angle);
}

glm::vec3 sunDirectionOf(f32 angle)
{
    return {std::sin(angle), std::cos(angle), 0.0f};
}

void resetSkyParams(SkyboxParams& params)
{
    const glm::vec3 sun = params.sunDirection;
    params = SkyboxParams();
    params.sunDirection = sun;
}
