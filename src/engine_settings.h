// The speech engine of the program's own speech service, chosen in config.ini:
//
//   [语音引擎]
//   引擎=espeak | azure | openai | command
//   区域=REGION          (azure)        地址=URL      (azure: replaces the region's host;
//   模型=NAME            (openai)                      openai: the server's base address)
//   声音列表=V1,V2,...   (openai)       命令=PROGRAM ARGS...  命令声音=NAME  (command)
//   超时=SECONDS         (each piece; optional)
//
// The Azure key comes from LECTORIA_AZURE_KEY or from R/azure.key, a file only its owner may
// read; the OpenAI-style server's optional key from LECTORIA_OPENAI_KEY.
#pragma once

#include <memory>
#include <string>

#include "platform/ini_file.h"
#include "platform/run_dir.h"
#include "speechd/engine_factory.h"

namespace lectoria {

namespace engine_keys {
inline constexpr std::string_view kSection = "\xD3\xEF\xD2\xF4\xD2\xFD\xC7\xE6";  // 语音引擎
inline constexpr std::string_view kEngine = "\xD2\xFD\xC7\xE6";                   // 引擎
inline constexpr std::string_view kRegion = "\xC7\xF8\xD3\xF2";                   // 区域
inline constexpr std::string_view kAddress = "\xB5\xD8\xD6\xB7";                  // 地址
inline constexpr std::string_view kModel = "\xC4\xA3\xD0\xCD";                    // 模型
inline constexpr std::string_view kVoices = "\xC9\xF9\xD2\xF4\xC1\xD0\xB1\xED";   // 声音列表
inline constexpr std::string_view kCommand = "\xC3\xFC\xC1\xEE";                  // 命令
inline constexpr std::string_view kCommandVoice = "\xC3\xFC\xC1\xEE\xC9\xF9\xD2\xF4";  // 命令声音
inline constexpr std::string_view kTimeout = "\xB3\xAC\xCA\xB1";                       // 超时
}  // namespace engine_keys

/// The engine options config.ini gives (values converted from GBK to UTF-8), with the keys
/// taken from the environment or R/azure.key.
speechd::EngineOptions ReadEngineOptions(const IniFile& config, const RunPaths& paths,
                                         std::string& error);

/// The engine config.ini chooses. When the settings are unusable, espeak-ng, with the reason
/// in `message` (for stderr); otherwise `message` is empty.
std::shared_ptr<speechd::SpeechEngine> ChooseSpeechEngine(const RunPaths& paths,
                                                          std::string& message);

}  // namespace lectoria
