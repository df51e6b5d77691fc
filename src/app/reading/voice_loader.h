// The start-up voice loader and the style box refill.
//
//   VoiceLoader voices(app, client);
//   voices.Install(app.hooks());   // before app.Start()
#pragma once

#include <atomic>
#include <memory>

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
  /// Waits for the voice-loading thread; the hooks set by Install do nothing afterwards.
  ~VoiceLoader();
  VoiceLoader(const VoiceLoader&) = delete;
  VoiceLoader& operator=(const VoiceLoader&) = delete;

  /// Sets hooks.LoadVoices and hooks.FillStyleBox to this loader's operations.
  void Install(AppHooks& hooks);

  /// Body of the voice-loading thread: fetches a token (it becomes CurrentToken) and the voice
  /// list, fills the voice box with the listed short names, selects the first whose text begins
  /// with the saved "语音" (ASCII case ignored; none when no entry does), fills the style box,
  /// and at the end, whatever failed, enables 按钮1 with the caption "开始".
  void LoadVoices();

  /// Refills the style box with the labels of the voice shown in the voice box (StyleLabels
  /// takes them) and selects the saved "语音风格" index ("默认", the last entry, when it is
  /// outside the list).
  /// The window's thread runs it when the user picks a voice; LoadVoices runs it once.
  void FillStyleBox();

 private:
  App& app_;
  const SpeechClient& client_;
  AppSpeechState speech_;
  // Set when the program closes; abandons the loader's requests.
  std::atomic<bool> cancel_{false};
  // The installed hooks reach the loader through this link, cut by the destructor.
  std::shared_ptr<VoiceLoader*> link_ = std::make_shared<VoiceLoader*>(this);
};

}  // namespace lectoria
