#pragma once

// The interface icons, each painted into one cell of a sprite sheet.

#include "SpriteCanvas.h"

// Tool-bar categories.
void paintBuildingsIcon(SpriteCanvas& canvas, const SpriteCell& cell);
void paintEnemiesIcon(SpriteCanvas& canvas, const SpriteCell& cell);

// Logos of the placeable kinds.
void paintWallLogo(SpriteCanvas& canvas, const SpriteCell& cell);
void paintCannonLogo(SpriteCanvas& canvas, const SpriteCell& cell);
void paintMortarLogo(SpriteCanvas& canvas, const SpriteCell& cell);
void paintEnemyLogo(SpriteCanvas& canvas, const SpriteCell& cell);
void paintHeavyEnemyLogo(SpriteCanvas& canvas, const SpriteCell& cell);

// Tools; `active` paints the highlight of the tool in use behind the icon.
void paintSellIcon(SpriteCanvas& canvas, const SpriteCell& cell, bool active);
void paintRepairIcon(SpriteCanvas& canvas, const SpriteCell& cell, bool active);
void paintUpgradeIcon(SpriteCanvas& canvas, const SpriteCell& cell, bool active);

// Time controls: pause, and the speeds 1, 2 and 4 as "x1", "x2", "x4".
void paintPauseIcon(SpriteCanvas& canvas, const SpriteCell& cell, bool active);
void paintSpeedIcon(SpriteCanvas& canvas, const SpriteCell& cell, int speed, bool active);
