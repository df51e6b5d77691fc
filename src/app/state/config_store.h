// The settings file config.ini, section "系统设置".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ini_file.h"
#include "platform/run_dir.h"

namespace lectoria {

namespace config_keys {
inline constexpr std::string_view kSection = "\xCF\xB5\xCD\xB3\xC9\xE8\xD6\xC3";  // 系统设置
inline constexpr std::string_view kSkipNonChinese =
    "\xCC\xF8\xB9\xFD\xCE\xDE\xD6\xD0\xCE\xC4\xD0\xD0";  // 跳过无中文行
inline constexpr std::string_view kWakeOutput =
    "\xD0\xE8\xD2\xAA\xC6\xF4\xB6\xAF\xCA\xE4\xB3\xF6";                     // 需要启动输出
inline constexpr std::string_view kCacheSize = "\xBB\xBA\xB4\xE6\xCA\xFD";  // 缓存数
inline constexpr std::string_view kVoice = "\xD3\xEF\xD2\xF4";              // 语音
inline constexpr std::string_view kVoiceStyle = "\xD3\xEF\xD2\xF4\xB7\xE7\xB8\xF1";  // 语音风格
}  // namespace config_keys

inline constexpr std::string_view kDefaultVoice = "zh-CN-XiaoxiaoNeural";

/// Reads and writes the settings; every call is one INI access. Safe from any thread.
class ConfigStore {
 public:
  explicit ConfigStore(const RunPaths& paths) : ini_(paths.ConfigIni()) {}

  /// "跳过无中文行", default "真"; true only for "真".
  bool SkipNonChinese() const;
  /// "需要启动输出", default "假".
  bool WakeOutput() const;
  /// "缓存数", default "10"; a value below 2 or not a number gives 2, and values above 1000
  /// give 1000.
  std::int32_t CacheSize() const;
  /// "语音", default "zh-CN-XiaoxiaoNeural".
  std::string Voice() const;
  /// "语音风格", default "0": the 0-based index of the chosen style.
  std::int32_t VoiceStyle() const;

  bool WriteSkipNonChinese(bool value);
  bool WriteWakeOutput(bool value);
  bool WriteVoice(std::string_view voice);
  bool WriteVoiceStyle(std::int32_t index);

  const IniFile& file() const { return ini_; }

 private:
  IniFile ini_;
};

}  // namespace lectoria
