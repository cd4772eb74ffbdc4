#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

struct ImDrawList;
struct ImVec4;

// A health bar over a building or an enemy: a grey frame 52 x 10 pixels around the
// projected point and, inside it, a bar of up to 46 x 4 pixels for the health left.
struct HealthBarRects {
    bool visible = false; // the point lies on the screen, in front of the camera
    glm::vec2 frameMin{0.0f}, frameMax{0.0f};
    bool filled = false;  // the bar is at least half a pixel long
    glm::vec2 barMin{0.0f}, barMax{0.0f};
};

// Where the bar of `screenPoint` (pixel x, pixel y, depth) with `fraction` of its
// health goes on a screen of `screenSize` pixels.
HealthBarRects healthBarRects(glm::vec3 screenPoint, f32 fraction, glm::vec2 screenSize);

// Draws it into `list` (the background list, behind every window) in `colour`.
void drawHealthBar(ImDrawList* list, glm::vec3 screenPoint, f32 fraction, const ImVec4& colour);
