// The sections of config.ini beside "系统设置": the window's place and text size, the playback
// speed and volume, and the global hotkeys. Programs that know only "系统设置" skip them.
#pragma once

#include <string_view>

namespace lectoria::config_keys {

inline constexpr std::string_view kWindowSection = "\xB4\xB0\xBF\xDA";  // 窗口
inline constexpr std::string_view kWindowLeft = "\xD7\xF3";             // 左
inline constexpr std::string_view kWindowTop = "\xC9\xCF";              // 上
inline constexpr std::string_view kWindowWidth = "\xBF\xED";            // 宽
inline constexpr std::string_view kWindowHeight = "\xB8\xDF";           // 高
/// The size of the chapter text and the current line, in percent.
inline constexpr std::string_view kTextSize = "\xCE\xC4\xD7\xD6\xB4\xF3\xD0\xA1";  // 文字大小

inline constexpr std::string_view kPlaybackSection = "\xB2\xA5\xB7\xC5";  // 播放
inline constexpr std::string_view kSpeed = "\xD3\xEF\xCB\xD9";            // 语速, e.g. "1.25"
inline constexpr std::string_view kVolume = "\xD2\xF4\xC1\xBF";           // 音量, 0-100

inline constexpr std::string_view kHotkeySection = "\xC8\xC8\xBC\xFC";  // 热键
inline constexpr std::string_view kStartPauseHotkey =
    "\xBF\xAA\xCA\xBC\xD4\xDD\xCD\xA3";  // 开始暂停, e.g. "Alt+Space"
inline constexpr std::string_view kShowHideHotkey =
    "\xCF\xD4\xCA\xBE\xD2\xFE\xB2\xD8";  // 显示隐藏, e.g. "Alt+Z"

}  // namespace lectoria::config_keys
