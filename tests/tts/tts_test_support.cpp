#include "tts_test_support.h"

#include <zlib.h>

#include <stdexcept>

#include "platform/codepage.h"

namespace lectoria::testing {

std::string Gbk(std::string_view utf8) {
  return Utf8ToGbk(utf8);
}

std::string VoiceLongName(std::string_view shortName) {
  return "Microsoft Server Speech Text to Speech Voice (" + std::string(shortName) + ")";
}

std::string VoiceId(std::string_view shortName) {
  return "id-" + std::string(shortName);
}

std::string VoiceListJson(const std::vector<SampleVoice>& voices) {
  std::string json = "[";
  for (std::size_t i = 0; i < voices.size(); ++i) {
    const SampleVoice& v = voices[i];
    if (i > 0) json += ",";
    json += "{\"name\":\"" + VoiceLongName(v.shortName) + "\",\"id\":\"" + VoiceId(v.shortName) +
            "\",\"locale\":\"" + v.locale +
            "\",\"voiceType\":\"StandardVoice\",\"properties\":{\"ShortName\":\"" + v.shortName +
            "\",\"LocalName\":\"\xE6\x99\x93\xE6\x99\x93\"},\"samples\":{\"styleSamples\":[";
    for (std::size_t j = 0; j < v.styles.size(); ++j) {
      if (j > 0) json += ",";
      json += "{\"styleName\":\"" + v.styles[j] + "\"}";
    }
    json += "]}}";
  }
  return json + "]";
}

std::string Gzip(std::string_view data) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string FakeMp3() {
  std::string bytes = "\xFF\xFB\x90\x64";
  bytes.append(412, '\0');
  return bytes;
}

std::string SplitReply(int paragraphIndex, int plainTextLength) {
  return "{\"ssmlSplitResults\":[{\"segments\":[{\"paragraphIndex\":" +
         std::to_string(paragraphIndex) +
         ",\"charLenghtOfPlainText\":" + std::to_string(plainTextLength) + "}]}]}";
}

ScriptedService::ScriptedService(std::vector<SampleVoice> voices) {
  const std::string list = VoiceListJson(voices);
  const std::vector<std::string> gzipped = {"Content-Type: application/json",
                                            "Content-Encoding: gzip"};
  replies_["auth-token"] = [](const test::RecordedRequest&) {
    return test::MakeReply(200, R"({"authToken":"tok-1","region":"local"})",
                           {"Content-Type: application/json"});
  };
  replies_["voices"] = [list](const test::RecordedRequest&) {
    return test::MakeReply(200, list, {"Content-Type: application/json"});
  };
  replies_["multitune"] = [gzipped](const test::RecordedRequest&) {
    return test::MakeReply(200, Gzip("[]"), gzipped);
  };
  replies_["split-ssmls"] = [gzipped](const test::RecordedRequest&) {
    return test::MakeReply(200, Gzip(SplitReply(0, 2)), gzipped);
  };
  replies_["speak"] = [](const test::RecordedRequest&) {
    return test::MakeReply(200, FakeMp3(), {"Content-Type: audio/mpeg"});
  };
  server_ = std::make_unique<test::RawHttpServer>(
      [this](const test::RecordedRequest& request) { return Answer(request); });
}

void ScriptedService::SetReply(const std::string& pathTail, Reply reply) {
  std::lock_guard lock(mutex_);
  replies_[pathTail] = std::move(reply);
}

std::string ScriptedService::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(server_->port());
}

int ScriptedService::Port() const {
  return server_->port();
}

std::vector<test::RecordedRequest> ScriptedService::Requests() const {
  return server_->Requests();
}

std::vector<std::string> ScriptedService::RequestNames() const {
  std::vector<std::string> names;
  for (const test::RecordedRequest& request : server_->Requests()) {
    const std::string target = request.Target();
    names.push_back(target.substr(target.rfind('/') + 1));
  }
  return names;
}

test::RawReply ScriptedService::Answer(const test::RecordedRequest& request) {
  const std::string target = request.Target();
  const std::string tail = target.substr(target.rfind('/') + 1);
  Reply reply;
  {
    std::lock_guard lock(mutex_);
    const auto it = replies_.find(tail);
    if (it != replies_.end()) reply = it->second;
  }
  if (!reply) return test::MakeReply(404, R"({"error":"not found"})");
  return reply(request);
}

}  // namespace lectoria::testing
