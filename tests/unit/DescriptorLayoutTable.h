#pragma once

#include "Engine/Descriptor/DescriptorLayout.h"

#include <string>
#include <vector>

// Every descriptor-layout string the game uses, with the sets it stands for: the
// golden data of the layout grammar (unit tests) and of the set layouts built from
// it (GPU tests).
struct LayoutCase {
    std::string layout;
    std::vector<std::vector<LayoutBinding>> sets;
    bool poolString = false; // the descriptor pool's string: no pipeline has this layout
};

inline LayoutBinding ubd(u32 binding)
{
    return {binding, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC};
}
inline LayoutBinding sbd(u32 binding)
{
    return {binding, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC};
}
inline LayoutBinding cis(u32 binding)
{
    return {binding, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER};
}

inline const std::vector<LayoutCase>& gameLayoutStrings()
{
    static const std::vector<LayoutCase> cases = {
        // The pool string, read as a layout: one set.
        {"UBD_100+SBD_100", {{ubd(100), sbd(100)}}, true},
        {"UBD_0+CIS_1", {{ubd(0), cis(1)}}},
        {"UBD_0+UBD_1+UBD_2+CIS_3 SBD_4", {{ubd(0), ubd(1), ubd(2), cis(3)}, {sbd(4)}}},
        {"UBD_0+UBD_1+UBD_2+CIS_3 SBD_4 CIS_5", {{ubd(0), ubd(1), ubd(2), cis(3)}, {sbd(4)}, {cis(5)}}},
        {"UBD_0 SBD_4", {{ubd(0)}, {sbd(4)}}},
        {"UBD_0+SBD_1", {{ubd(0), sbd(1)}}},
        {"UBD_0+UBD_1+UBD_2 CIS_3+CIS_4+CIS_5", {{ubd(0), ubd(1), ubd(2)}, {cis(3), cis(4), cis(5)}}},
        {"UBD_0+UBD_1+UBD_2 CIS_3+CIS_4+CIS_5+CIS_6+CIS_7",
         {{ubd(0), ubd(1), ubd(2)}, {cis(3), cis(4), cis(5), cis(6), cis(7)}}},
        {"UBD_0+UBD_1", {{ubd(0), ubd(1)}}},
        {"UBD_0+CIS_1+CIS_2", {{ubd(0), cis(1), cis(2)}}},
        {"CIS_0", {{cis(0)}}},
        {"UBD_0+UBD_1+UBD_2+CIS_3 UBD_4", {{ubd(0), ubd(1), ubd(2), cis(3)}, {ubd(4)}}},
        {"UBD_0+UBD_1+UBD_2+UBD_3+CIS_5 UBD_4", {{ubd(0), ubd(1), ubd(2), ubd(3), cis(5)}, {ubd(4)}}},
        {"UBD_0+UBD_1+UBD_3+CIS_5 UBD_4", {{ubd(0), ubd(1), ubd(3), cis(5)}, {ubd(4)}}},
        {"UBD_0 UBD_4", {{ubd(0)}, {ubd(4)}}},
        {"UBD_0", {{ubd(0)}}},
    };
    return cases;
}
