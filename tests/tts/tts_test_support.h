// Shared helpers of the speech client tests: voice lists, gzip, MP3-looking bytes, GBK texts,
// and a scripted speech service on 127.0.0.1 that answers the five requests.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "net/support/raw_http_server.h"

namespace lectoria::testing {

/// GBK bytes of a UTF-8 literal.
std::string Gbk(std::string_view utf8);

/// One voice of a sample list.
struct SampleVoice {
  std::string shortName;
  std::vector<std::string> styles;  // styleSamples[j].styleName
  std::string locale = "zh-CN";
};

/// A voices reply (UTF-8 JSON) listing the voices in order, with name, id, locale, voiceType,
/// properties.ShortName and samples.styleSamples.
std::string VoiceListJson(const std::vector<SampleVoice>& voices);
/// The name and id that VoiceListJson gives a short name.
std::string VoiceLongName(std::string_view shortName);
std::string VoiceId(std::string_view shortName);

/// gzip of `data`.
std::string Gzip(std::string_view data);

/// A few bytes that start like an MP3 frame.
std::string FakeMp3();

/// A split-ssmls reply (UTF-8 JSON) with the given numbers.
std::string SplitReply(int paragraphIndex, int plainTextLength);

/// A speech service on 127.0.0.1 made of canned replies, one per request path. Replies can be
/// replaced while it runs; every request is recorded.
class ScriptedService {
 public:
  using Reply = std::function<test::RawReply(const test::RecordedRequest&)>;

  /// Starts with good replies: token "tok-1", the voices given, an empty multitune answer and
  /// a split result, both gzip-compressed, and FakeMp3() as the clip.
  explicit ScriptedService(std::vector<SampleVoice> voices = {
                               {"zh-CN-XiaoxiaoNeural", {"cheerful", "sad"}}});

  /// Replaces the reply to requests whose target ends with `pathTail` ("auth-token",
  /// "voices", "multitune", "split-ssmls", "speak").
  void SetReply(const std::string& pathTail, Reply reply);

  std::string BaseUrl() const;
  int Port() const;
  std::vector<test::RecordedRequest> Requests() const;
  /// The last path segment of each request's target, in order.
  std::vector<std::string> RequestNames() const;

 private:
  test::RawReply Answer(const test::RecordedRequest& request);

  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::unique_ptr<test::RawHttpServer> server_;
};

}  // namespace lectoria::testing
