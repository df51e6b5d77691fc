// The values the speech client shares with the rest of the program: the cached voice list,
// the style box's labels and the service style name of the last synthesis.
//
// They are read and replaced from several threads (the voice loader, the synthesis worker,
// the window's thread), each value whole. The application keeps them in its own state and
// hands the client a view of them; SpeechClientValues is a self-contained version.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace lectoria {

/// Access to the shared values. Every call reads or replaces one value whole, atomically with
/// respect to the others on that value. Texts are GBK.
class SpeechClientState {
 public:
  virtual ~SpeechClientState() = default;

  /// The last usable voices reply (a JSON array); empty until one arrived.
  virtual std::string VoiceListJson() const = 0;
  virtual void SetVoiceListJson(std::string json) = 0;
  /// The labels of the style box, ending with "默认".
  virtual std::vector<std::string> StyleLabels() const = 0;
  virtual void SetStyleLabels(std::vector<std::string> labels) = 0;
  /// The service's style name chosen at the last synthesis whose label was known.
  virtual std::string ServiceStyleName() const = 0;
  virtual void SetServiceStyleName(std::string name) = 0;
};

/// The shared values held here, behind one lock.
class SpeechClientValues : public SpeechClientState {
 public:
  std::string VoiceListJson() const override;
  void SetVoiceListJson(std::string json) override;
  std::vector<std::string> StyleLabels() const override;
  void SetStyleLabels(std::vector<std::string> labels) override;
  std::string ServiceStyleName() const override;
  void SetServiceStyleName(std::string name) override;

 private:
  mutable std::mutex mutex_;
  std::string voiceListJson_;
  std::vector<std::string> styleLabels_;
  std::string serviceStyleName_;
};

}  // namespace lectoria
