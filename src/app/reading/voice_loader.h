// The start-up voice loader and the style box refill.
//
//   VoiceLoader voices(app, client);
//   voices.Install(app.hooks());   // before app.Start()
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "app/core/app.h"
#include "app/reading/speech_state.h"
#include "tts/speech_service_client.h"

namespace lectoria {

/// Fills the voice box 组合框_语音 and the style box 组合框_语音风格 from the speech service's
/// voice list and the saved choices "语音" and "语音风格". Both the App and the client must
/// outlive it.
class VoiceLoader {
 public:
  VoiceLoader(App& app, const SpeechClient& client);
  /// Stops the loader (requests and pauses) and waits for its thread; the hooks set by
  /// Install do nothing afterwards.
  ~VoiceLoader();
  VoiceLoader(const VoiceLoader&) = delete;
  VoiceLoader& operator=(const VoiceLoader&) = delete;

  /// Sets hooks.LoadVoices and hooks.FillStyleBox to this loader's operations.
  void Install(AppHooks& hooks);

  /// Pause before the second attempt at the voice list, doubled after each further failure up
  /// to the last value.
  static constexpr std::int32_t kFirstRetryMs = 2000;
  static constexpr std::int32_t kLastRetryMs = 60000;

  /// Body of the voice-loading thread: fetches a token (it becomes CurrentToken) and the voice
  /// list, fills the voice box with the listed short names, selects the first whose text begins
  /// with the saved "语音" (ASCII case ignored; none when no entry does), fills the style box,
  /// and then, whatever failed, enables 按钮1 with the caption "开始". When no voice came, it
  /// goes on asking (pauses from kFirstRetryMs, doubling, up to kLastRetryMs) until the list
  /// comes, then fills both boxes in the same way, or until the program closes.
  void LoadVoices();

  /// Refills the style box with the labels of the voice shown in the voice box (StyleLabels
  /// takes them) and selects the saved "语音风格" index ("默认", the last entry, when it is
  /// outside the list).
  /// The window's thread runs it when the user picks a voice; LoadVoices runs it once.
  void FillStyleBox();

 private:
  /// Abandons the loader's requests and its pause between attempts (the program closes).
  void Stop();
  /// A token and the voice list's non-empty short names (none when either failed).
  std::vector<std::string> FetchVoiceNames();
  /// Fills the voice box with `names`, selects the saved voice and fills the style box.
  void ShowVoices(std::vector<std::string> names);

  App& app_;
  const SpeechClient& client_;
  AppSpeechState speech_;
  // Set when the program closes; abandons the loader's requests and its pauses.
  std::atomic<bool> cancel_{false};
  std::stop_source stop_;
  // The installed hooks reach the loader through this link, cut by the destructor.
  std::shared_ptr<VoiceLoader*> link_ = std::make_shared<VoiceLoader*>(this);
};

}  // namespace lectoria
