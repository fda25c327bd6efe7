#include "TreeTabs.h"

#include <algorithm>
#include <array>

namespace TreeTabs {

const TabLook& lookOf(int tree) {
    static const std::array<TabLook, kTreeCount> kLooks = {{
        {kPathButton,
         -1,
         {kTypeButton, kCreatButton, kModifyButton, kTimeButton},
         QStringLiteral(" "),
         {kPathButton, kTypeButton, kTimeButton},
         {kPathBlowView}},
        {kTypeButton,
         -1,
         {kPathButton, kCreatButton, kModifyButton, kTimeButton},
         QStringLiteral(" "),
         {kPathButton, kTypeButton, kTimeButton},
         {kTypeBlowView}},
        {kTimeButton,
         kCreatButton,
         {kPathButton, kTypeButton, kModifyButton},
         QString(""),
         {kPathButton, kTypeButton, kTimeButton, kModifyButton, kCreatButton},
         {kCreateTimeBlowView, kChangeTimeBlowView}},
        {kTimeButton,
         kModifyButton,
         {kPathButton, kTypeButton, kCreatButton},
         QString(""),
         {kModifyButton, kCreatButton},
         {kModifyTimeBlowView, kChangeTimeBlowView}},
    }};
    return kLooks[static_cast<size_t>(std::clamp(tree, 0, kTreeCount - 1))];
}

}  // namespace TreeTabs
