#pragma once

// Sizes shared by the main window and its two pages.
namespace PageLayout {

inline constexpr int kPageWidth = 916;
inline constexpr int kPageHeight = 550;
inline constexpr int kTitleBarHeight = 50;

}  // namespace PageLayout
