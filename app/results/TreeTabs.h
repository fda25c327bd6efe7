#pragma once

// How the four tree tabs of the results window look for each tree shown:
// which tab button carries the tab background, which date choice carries the
// text background, whose pictures are cleared, whose titles turn black and
// which containers are shown. Trees: 0 path, 1 type, 2 creation date,
// 3 modification date; the outline view shown is the tree's own.

#include <QString>

#include <vector>

namespace TreeTabs {

enum Button { kPathButton, kTypeButton, kTimeButton, kCreatButton, kModifyButton, kButtonCount };
enum Container {
    kPathBlowView,
    kTypeBlowView,
    kCreateTimeBlowView,
    kModifyTimeBlowView,
    kChangeTimeBlowView,
    kContainerCount
};

constexpr int kTreeCount = 4;

struct TabLook {
    Button tabBackground;         // "bg_tab"
    int textBackground;           // a Button with "text_bg", or -1
    std::vector<Button> cleared;  // given the picture `clearedImage`
    QString clearedImage;         // " " or "": both name no picture
    std::vector<Button> blackTitles;
    std::vector<Container> shown;  // the others are hidden
};

// The look of tree `tree` (0..3).
const TabLook& lookOf(int tree);

}  // namespace TreeTabs
