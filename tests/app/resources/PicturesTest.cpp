#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include <set>
#include <string>

#include "ArtTable.h"
#include "Images.h"

namespace {

using harbex::art::kPictures;

// The pictures the windows ask for by name.
const char* const kButtonSets[] = {"back",   "continue",    "next",      "scan",        "btn_scan",
                                   "btn_ds", "btn_recover", "icon_back", "icon_export", "icon_home",
                                   "pause",  "play",        "stop"};
const char* const kSingles[] = {
    "icon_import",
    "icon_import_hover",
    "icon_infor",
    "icon_infor_hover",
    "c-recover-normal",
    "c-recover-hover",
    "c-recover-select",
    "d-recover-normal",
    "d-recover-hover",
    "d-recover-select",
    "f-recover-normal",
    "f-recover-hover",
    "f-recover-select",
    "checkbox_no",
    "checkbox_yes",
    "checkbox_half",
    "pf_checkbox_no",
    "pf_checkbox_yes",
    "pf_checkbox_half",
    "radio_button_no",
    "radio_button_yes",
    "icon_b",
    "icon_disk",
    "icon_disk_osx",
    "icon_usb",
    "icon_desktop",
    "icon_mirror",
    "select_disk",
    "warning",
    "warning_b",
    "logo",
    "arrow",
    "del_normal",
    "del_press",
    "deletered",
    "loading",
    "NSAscendingSortIndicator",
    "NSDescendingSortIndicator",
    "bg_150",
    "hover_bg",
    "bg_tab",
    "text_bg",
    "view_bg_normal",
    "view_bg_press",
    "BackgroundDust",
};

TEST(Pictures, EveryNameTheWindowsUseIsPainted) {
    std::set<std::string> names;
    for (const auto& picture : kPictures)
        names.insert(picture.name);
    for (const char* set : kButtonSets)
        for (const char* state : {"_normal", "_hover", "_press", "_disable"})
            EXPECT_TRUE(names.count(std::string(set) + state)) << set << state;
    for (const char* name : kSingles)
        EXPECT_TRUE(names.count(name)) << name;
    for (int kind = 0; kind <= 11; ++kind)
        EXPECT_TRUE(names.count(std::to_string(kind) + "IconImage")) << kind;
}

TEST(Pictures, EachLoadsAtItsSizeWithADoubleSizeCopy) {
    for (const auto& picture : kPictures) {
        const QPixmap pixmap = Images::named(picture.name);
        ASSERT_FALSE(pixmap.isNull()) << picture.name;
        EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), QSize(picture.width, picture.height))
            << picture.name;
        const QImage sharp(QString(":/images/%1@2x.png").arg(picture.name));
        EXPECT_EQ(sharp.size(), QSize(2 * picture.width, 2 * picture.height)) << picture.name;
    }
    EXPECT_TRUE(Images::named("no_such_picture").isNull());
}

TEST(Pictures, TheFourStatesOfAButtonLookDifferent) {
    for (const char* set : kButtonSets) {
        std::set<QRgb> faces;
        for (const char* state : {"_normal", "_hover", "_press", "_disable"}) {
            const QImage image = Images::named(QString(set) + state).toImage();
            // A point on the face, clear of the glyph.
            faces.insert(image.pixel(image.width() / 2, 3));
        }
        EXPECT_EQ(faces.size(), 4u) << set;
    }
}

}  // namespace
