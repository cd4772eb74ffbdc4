#pragma once

#include "Engine/Types.h"

// A grid quad with corner heights h00 (x, z), h10 (x+1, z), h01 (x, z+1) and h11
// (x+1, z+1) is cut into two triangles along its longer diagonal; on a tie (every
// flat quad) along P10-P01. The chunk meshes and the collision mesh share this rule.
inline bool splitsAlongP00P11(f32 h00, f32 h10, f32 h01, f32 h11)
{
    f32 rise0011 = h11 - h00;
    f32 rise1001 = h01 - h10;
    f32 long0011 = 1.0f + rise0011 * rise0011 + 1.0f;
    f32 long1001 = 1.0f + rise1001 * rise1001 + 1.0f;
    return long0011 > long1001;
}
