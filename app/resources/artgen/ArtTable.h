#pragma once

// The program's pictures: every name the windows ask for, its size in points
// and how it is drawn. artgen paints them; the tests read the same table.

#include <array>

namespace harbex::art {

enum class Look {
    Pill,       // wide button face; the label is drawn over it by the button
    RoundIcon,  // round button with a glyph
    Glyph,      // a glyph on a clear ground
    CheckBox,   // check box: glyph none, tick or dash
    Radio,      // radio button: glyph none or dot
    Tile,       // scan-mode tile
    Panel,      // flat background
    Disk,       // device picture
    Warning,    // alert triangle
    Logo,
    SortIndicator,
    WindowButton,  // close, minimise or zoom: a coloured disc
};

// Button states share one glyph and differ in colour.
enum class State { Normal, Hover, Press, Disable, Selected, NotKey };

enum class Glyph {
    None,
    ChevronLeft,
    ChevronRight,
    Magnifier,
    DeepMagnifier,
    Recover,
    Export,
    Import,
    Home,
    Pause,
    Play,
    Stop,
    Tick,
    Dash,
    Dot,
    Info,
    Cross,
    Trash,
    Arrow,
    Folder,
    Document,
    Mail,
    Picture,
    Music,
    Archive,
    Movie,
    Other,
    Calendar,
    CalendarDay,
    Volume,
    File,
    Usb,
    Desktop,
    Mirror,
    Disk,
    DiskOsx,
    Up,
    Down,
    Spinner,
    Dust,
    Tab,
    Minus,
    Plus,
};

struct Picture {
    const char* name;
    int width;
    int height;
    Look look;
    Glyph glyph;
    State state;
};

inline constexpr std::array kPictures = {
#define HARBEX_BUTTON_SET(base, w, h, look, glyph)                         \
    Picture{base "_normal", w, h, look, glyph, State::Normal},             \
        Picture{base "_hover", w, h, look, glyph, State::Hover},           \
        Picture{base "_press", w, h, look, glyph, State::Press}, Picture { \
        base "_disable", w, h, look, glyph, State::Disable                 \
    }
    // Four-state buttons.
    HARBEX_BUTTON_SET("back", 120, 36, Look::Pill, Glyph::ChevronLeft),
    HARBEX_BUTTON_SET("continue", 120, 36, Look::Pill, Glyph::ChevronRight),
    HARBEX_BUTTON_SET("next", 120, 36, Look::Pill, Glyph::ChevronRight),
    HARBEX_BUTTON_SET("scan", 120, 36, Look::Pill, Glyph::Magnifier),
    HARBEX_BUTTON_SET("btn_scan", 140, 40, Look::Pill, Glyph::Magnifier),
    HARBEX_BUTTON_SET("btn_ds", 140, 40, Look::Pill, Glyph::DeepMagnifier),
    HARBEX_BUTTON_SET("btn_recover", 140, 40, Look::Pill, Glyph::Recover),
    HARBEX_BUTTON_SET("btn_dialog", 100, 30, Look::Pill, Glyph::None),
    HARBEX_BUTTON_SET("icon_back", 24, 24, Look::RoundIcon, Glyph::ChevronLeft),
    HARBEX_BUTTON_SET("icon_export", 24, 24, Look::RoundIcon, Glyph::Export),
    HARBEX_BUTTON_SET("icon_home", 24, 24, Look::RoundIcon, Glyph::Home),
    HARBEX_BUTTON_SET("pause", 18, 18, Look::RoundIcon, Glyph::Pause),
    HARBEX_BUTTON_SET("play", 18, 18, Look::RoundIcon, Glyph::Play),
    HARBEX_BUTTON_SET("stop", 18, 18, Look::RoundIcon, Glyph::Stop),
#undef HARBEX_BUTTON_SET
// The window's own close, minimise and zoom buttons: active, in an
// inactive window, disabled, under the pointer and pressed.
#define HARBEX_WINDOW_BUTTON(base, glyph)                                                     \
    Picture{base "_active", 14, 14, Look::WindowButton, glyph, State::Normal},                \
        Picture{base "_notkey", 14, 14, Look::WindowButton, glyph, State::NotKey},            \
        Picture{base "_inactive", 14, 14, Look::WindowButton, glyph, State::Disable},         \
        Picture{base "_rollover", 14, 14, Look::WindowButton, glyph, State::Hover}, Picture { \
        base "_pressed", 14, 14, Look::WindowButton, glyph, State::Press                      \
    }
    HARBEX_WINDOW_BUTTON("window_close", Glyph::Cross),
    HARBEX_WINDOW_BUTTON("window_minimize", Glyph::Minus),
    HARBEX_WINDOW_BUTTON("window_zoom", Glyph::Plus),
#undef HARBEX_WINDOW_BUTTON
    // Title-bar icons with a hover face.
    Picture{"icon_import", 16, 16, Look::Glyph, Glyph::Import, State::Normal},
    Picture{"icon_import_hover", 16, 16, Look::Glyph, Glyph::Import, State::Hover},
    Picture{"icon_infor", 16, 16, Look::Glyph, Glyph::Info, State::Normal},
    Picture{"icon_infor_hover", 16, 16, Look::Glyph, Glyph::Info, State::Hover},
    // Scan-mode tiles: complete, deep and quick.
    Picture{"c-recover-normal", 200, 150, Look::Tile, Glyph::DeepMagnifier, State::Normal},
    Picture{"c-recover-hover", 200, 150, Look::Tile, Glyph::DeepMagnifier, State::Hover},
    Picture{"c-recover-select", 200, 150, Look::Tile, Glyph::DeepMagnifier, State::Selected},
    Picture{"d-recover-normal", 200, 150, Look::Tile, Glyph::Recover, State::Normal},
    Picture{"d-recover-hover", 200, 150, Look::Tile, Glyph::Recover, State::Hover},
    Picture{"d-recover-select", 200, 150, Look::Tile, Glyph::Recover, State::Selected},
    Picture{"f-recover-normal", 200, 150, Look::Tile, Glyph::Magnifier, State::Normal},
    Picture{"f-recover-hover", 200, 150, Look::Tile, Glyph::Magnifier, State::Hover},
    Picture{"f-recover-select", 200, 150, Look::Tile, Glyph::Magnifier, State::Selected},
    // Check boxes and radio buttons.
    Picture{"checkbox_no", 16, 16, Look::CheckBox, Glyph::None, State::Normal},
    Picture{"checkbox_yes", 16, 16, Look::CheckBox, Glyph::Tick, State::Selected},
    Picture{"checkbox_half", 16, 16, Look::CheckBox, Glyph::Dash, State::Selected},
    Picture{"pf_checkbox_no", 14, 14, Look::CheckBox, Glyph::None, State::Normal},
    Picture{"pf_checkbox_yes", 14, 14, Look::CheckBox, Glyph::Tick, State::Selected},
    Picture{"pf_checkbox_half", 14, 14, Look::CheckBox, Glyph::Dash, State::Selected},
    Picture{"radio_button_no", 16, 16, Look::Radio, Glyph::None, State::Normal},
    Picture{"radio_button_yes", 16, 16, Look::Radio, Glyph::Dot, State::Selected},
    // Devices.
    Picture{"icon_b", 48, 48, Look::Disk, Glyph::Disk, State::Normal},
    Picture{"icon_disk", 32, 32, Look::Disk, Glyph::Disk, State::Normal},
    Picture{"icon_disk_osx", 32, 32, Look::Disk, Glyph::DiskOsx, State::Normal},
    Picture{"icon_usb", 32, 32, Look::Disk, Glyph::Usb, State::Normal},
    Picture{"icon_desktop", 32, 32, Look::Disk, Glyph::Desktop, State::Normal},
    Picture{"icon_mirror", 32, 32, Look::Disk, Glyph::Mirror, State::Normal},
    Picture{"select_disk", 32, 32, Look::Disk, Glyph::Disk, State::Selected},
    // Result-tree icons by node kind: file-system root, folder, the seven
    // categories in their bit order (documents, pictures, movies, music,
    // archives, e-mail, other), date root, date child, other (a plain file).
    Picture{"0IconImage", 16, 16, Look::Glyph, Glyph::Volume, State::Normal},
    Picture{"1IconImage", 16, 16, Look::Glyph, Glyph::Folder, State::Normal},
    Picture{"2IconImage", 16, 16, Look::Glyph, Glyph::Document, State::Normal},
    Picture{"3IconImage", 16, 16, Look::Glyph, Glyph::Picture, State::Normal},
    Picture{"4IconImage", 16, 16, Look::Glyph, Glyph::Movie, State::Normal},
    Picture{"5IconImage", 16, 16, Look::Glyph, Glyph::Music, State::Normal},
    Picture{"6IconImage", 16, 16, Look::Glyph, Glyph::Archive, State::Normal},
    Picture{"7IconImage", 16, 16, Look::Glyph, Glyph::Mail, State::Normal},
    Picture{"8IconImage", 16, 16, Look::Glyph, Glyph::Other, State::Normal},
    Picture{"9IconImage", 16, 16, Look::Glyph, Glyph::Calendar, State::Normal},
    Picture{"10IconImage", 16, 16, Look::Glyph, Glyph::CalendarDay, State::Normal},
    Picture{"11IconImage", 16, 16, Look::Glyph, Glyph::File, State::Normal},
    // Alerts, logo and small marks.
    Picture{"warning", 64, 64, Look::Warning, Glyph::None, State::Normal},
    Picture{"warning_b", 64, 64, Look::Warning, Glyph::None, State::Press},
    Picture{"logo", 128, 128, Look::Logo, Glyph::None, State::Normal},
    Picture{"arrow", 12, 12, Look::Glyph, Glyph::Arrow, State::Normal},
    Picture{"del_normal", 16, 16, Look::Glyph, Glyph::Cross, State::Normal},
    Picture{"del_press", 16, 16, Look::Glyph, Glyph::Cross, State::Press},
    Picture{"search_magnifier", 16, 16, Look::Glyph, Glyph::Magnifier, State::Normal},
    Picture{"deletered", 16, 16, Look::Glyph, Glyph::Trash, State::Selected},
    Picture{"loading", 32, 32, Look::Glyph, Glyph::Spinner, State::Normal},
    Picture{"NSAscendingSortIndicator", 9, 8, Look::SortIndicator, Glyph::Up, State::Normal},
    Picture{"NSDescendingSortIndicator", 9, 8, Look::SortIndicator, Glyph::Down, State::Normal},
    // Backgrounds.
    Picture{"bg_150", 150, 150, Look::Panel, Glyph::None, State::Normal},
    Picture{"hover_bg", 150, 150, Look::Panel, Glyph::None, State::Hover},
    Picture{"bg_tab", 100, 30, Look::Panel, Glyph::Tab, State::Normal},
    Picture{"text_bg", 200, 24, Look::Panel, Glyph::None, State::Normal},
    Picture{"text", 200, 24, Look::Panel, Glyph::None, State::Normal},
    Picture{"view_bg_normal", 32, 24, Look::Panel, Glyph::Tab, State::Normal},
    Picture{"view_bg_press", 32, 24, Look::Panel, Glyph::Tab, State::Press},
    Picture{"BackgroundDust", 64, 64, Look::Panel, Glyph::Dust, State::Normal},
};

}  // namespace harbex::art
