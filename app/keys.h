// Keys and mouse buttons as a front end reports them to the windows' behaviour.
#pragma once

namespace vantorel::app {

// The keys the windows act on; every other key is Other and goes its native way.
enum class Key { Enter, Space, Escape, Tab, A, P, Other };
// Shift state as a bit set: Shift 1, Ctrl 2, Alt 4.
inline constexpr int kShift = 1, kCtrl = 2, kAlt = 4;
// Mouse buttons: left 1, right 2, middle 4.
inline constexpr int kLeftButton = 1, kRightButton = 2;

}  // namespace vantorel::app
