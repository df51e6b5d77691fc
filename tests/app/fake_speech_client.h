// A scripted speech client for the voice loader and synthesis worker tests.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tts/speech_service_client.h"

namespace lectoria::testing {

/// A voices reply (GBK JSON) listing short names with their style names.
inline std::string SampleVoiceList(
    const std::vector<std::pair<std::string, std::vector<std::string>>>& voices) {
  std::string json = "[";
  for (std::size_t i = 0; i < voices.size(); ++i) {
    if (i > 0) json += ",";
    json += "{\"name\":\"Voice " + voices[i].first + "\",\"id\":\"id" + std::to_string(i) +
            "\",\"locale\":\"zh-CN\",\"voiceType\":\"StandardVoice\",\"properties\":{";
    if (!voices[i].first.empty()) json += "\"ShortName\":\"" + voices[i].first + "\"";
    json += "},\"samples\":{\"styleSamples\":[";
    for (std::size_t j = 0; j < voices[i].second.size(); ++j) {
      if (j > 0) json += ",";
      json += "{\"styleName\":\"" + voices[i].second[j] + "\"}";
    }
    json += "]}}";
  }
  return json + "]";
}

/// Answers from scripts and records every call. Thread-safe.
class FakeSpeechClient : public SpeechClient {
 public:
  struct Call {
    std::string token;
    std::string text;
    std::string voice;
    std::string style;
  };
  using Script = std::function<std::string(const Call&, const std::atomic<bool>* cancel)>;

  /// The voice list LoadVoiceCatalogue hands out (empty: an unusable reply).
  void SetVoiceList(std::string list) {
    std::lock_guard lock(mutex_);
    voiceList_ = std::move(list);
  }
  /// Empty: FetchAuthToken gives no token.
  void SetTokenPrefix(std::string prefix) {
    std::lock_guard lock(mutex_);
    tokenPrefix_ = std::move(prefix);
  }
  /// What SynthesizeLine returns; by default "MP3:" + the line.
  void SetScript(Script script) {
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
  }

  std::string FetchAuthToken(const std::atomic<bool>* = nullptr) const override {
    std::lock_guard lock(mutex_);
    ++tokens_;
    return tokenPrefix_.empty() ? std::string() : tokenPrefix_ + std::to_string(tokens_);
  }

  std::vector<std::string> LoadVoiceCatalogue(
      std::string_view token, SpeechClientState& state,
      const std::atomic<bool>* = nullptr) const override {
    std::string list;
    {
      std::lock_guard lock(mutex_);
      ++catalogueLoads_;
      list = voiceList_;
    }
    if (token.empty() || !IsVoiceList(list)) return {};
    state.SetVoiceListJson(list);
    return VoiceShortNames(list);
  }

  std::string SynthesizeLine(std::string_view token, std::string_view lineText,
                             std::string_view voiceName, std::string_view styleLabel,
                             SpeechClientState&, const std::atomic<bool>* cancel) const override {
    const Call call{std::string(token), std::string(lineText), std::string(voiceName),
                    std::string(styleLabel)};
    Script script;
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(call);
      script = script_;
    }
    changed_.notify_all();
    if (!script) return "MP3:" + call.text;
    return script(call, cancel);
  }

  std::vector<Call> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  int TokensFetched() const {
    std::lock_guard lock(mutex_);
    return tokens_;
  }
  int CatalogueLoads() const {
    std::lock_guard lock(mutex_);
    return catalogueLoads_;
  }
  /// Waits (real time, bounded) until SynthesizeLine has been entered `count` times.
  bool AwaitCalls(std::size_t count) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return calls_.size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::string voiceList_;
  std::string tokenPrefix_ = "tok";
  Script script_;
  mutable int tokens_ = 0;
  mutable int catalogueLoads_ = 0;
  mutable std::vector<Call> calls_;
};

/// A gate a scripted synthesis can wait at until the test opens it or the call is cancelled.
class Gate {
 public:
  /// Blocks until Open() or `cancel` is set; true when opened.
  bool Wait(const std::atomic<bool>* cancel) {
    std::unique_lock lock(mutex_);
    while (!open_) {
      if (cancel != nullptr && cancel->load()) return false;
      opened_.wait_for(lock, std::chrono::milliseconds(2));
    }
    return true;
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

}  // namespace lectoria::testing
