// The three requests that carry SSML: multitune, split-ssmls and speak.
#include <algorithm>

#include "speechd/gzip_codec.h"
#include "speechd/handler_support.h"
#include "speechd/mp3_encoder.h"
#include "speechd/request_handlers.h"
#include "speechd/speech_stream.h"

namespace lectoria::speechd {

namespace {

// The member `name` of `object` when it is a string; nullptr otherwise.
const nlohmann::json* StringMember(const nlohmann::json& object, const char* name) {
  auto found = object.find(name);
  return (found != object.end() && found->is_string()) ? &*found : nullptr;
}

bool HasMemberOfWrongType(const nlohmann::json& object, const char* name,
                          nlohmann::json::value_t type) {
  auto found = object.find(name);
  return found != object.end() && found->type() != type;
}

}  // namespace

ServiceReply RequestHandlers::Multitune(const ServiceRequest& request, const ReplyOptions&) {
  nlohmann::json body;
  std::string error;
  if (!ParseJsonBody(request.body, options_.maxJsonDepth, body, error))
    return ErrorReply(400, error);
  if (!body.is_array() || body.empty()) {
    return ErrorReply(400, "the multitune body must be a non-empty JSON array");
  }
  if (body.size() > options_.maxListItems)
    return ErrorReply(400, "the multitune body has too many items");

  for (const nlohmann::json& item : body) {
    if (!item.is_object()) return ErrorReply(400, "each multitune item must be an object");
    std::uint64_t begin = 0, length = 0;
    if (!item.contains("SelectionBeginIndex") || !ReadCount(item["SelectionBeginIndex"], begin) ||
        !item.contains("SelectionLength") || !ReadCount(item["SelectionLength"], length)) {
      return ErrorReply(400, "SelectionBeginIndex and SelectionLength must be whole numbers");
    }
    const nlohmann::json* ssml = StringMember(item, "Ssml");
    if (ssml == nullptr) return ErrorReply(400, "each multitune item needs the text Ssml");
    if (StringMember(item, "UpdateType") == nullptr) {
      return ErrorReply(400, "each multitune item needs the text UpdateType");
    }
    if (HasMemberOfWrongType(item, "Parameters", nlohmann::json::value_t::object) ||
        HasMemberOfWrongType(item, "TuneLexiconTag", nlohmann::json::value_t::object)) {
      return ErrorReply(400, "Parameters and TuneLexiconTag must be objects");
    }
    SsmlContent content;
    if (!ReadSsml(ssml->get_ref<const std::string&>(), options_.ssml, content, error)) {
      return ErrorReply(400, error);
    }
  }

  nlohmann::ordered_json reply;
  reply["isSuccess"] = true;
  reply["updatedItemCount"] = body.size();
  return JsonReply(reply, AcceptsGzip(request.Header("Accept-Encoding")));
}

ServiceReply RequestHandlers::SplitSsmls(const ServiceRequest& request, const ReplyOptions&) {
  nlohmann::json body;
  std::string error;
  if (!ParseJsonBody(request.body, options_.maxJsonDepth, body, error))
    return ErrorReply(400, error);
  if (!body.is_object()) return ErrorReply(400, "the split-ssmls body must be a JSON object");
  auto ssmls = body.find("ssmls");
  if (ssmls == body.end() || !ssmls->is_array() || ssmls->empty()) {
    return ErrorReply(400, "ssmls must be a non-empty array of SSML texts");
  }
  if (ssmls->size() > options_.maxListItems) return ErrorReply(400, "ssmls has too many entries");
  if (HasMemberOfWrongType(body, "splitFileOptions", nlohmann::json::value_t::object)) {
    return ErrorReply(400, "splitFileOptions must be an object");
  }

  // Each document becomes one segment: the client sends one line per request, and the
  // speak request then addresses that line by paragraph index and plain-text length.
  nlohmann::ordered_json results = nlohmann::ordered_json::array();
  for (const nlohmann::json& ssml : *ssmls) {
    if (!ssml.is_string()) return ErrorReply(400, "ssmls must hold only texts");
    SsmlContent content;
    if (!ReadSsml(ssml.get_ref<const std::string&>(), options_.ssml, content, error)) {
      return ErrorReply(400, error);
    }
    nlohmann::ordered_json segment;
    segment["paragraphIndex"] = 0;
    segment["charLenghtOfPlainText"] = content.plainTextLength;  // the service's spelling
    segment["plainText"] = content.plainText;
    segment["ssml"] = ssml.get_ref<const std::string&>();
    results.push_back({{"segments", nlohmann::ordered_json::array({segment})}});
  }
  nlohmann::ordered_json reply;
  reply["ssmlSplitResults"] = std::move(results);
  // The client always inflates this reply, so it is compressed whatever the request says.
  return JsonReply(reply, true);
}

ServiceReply RequestHandlers::Speak(const ServiceRequest& request, const ReplyOptions& how) {
  nlohmann::json body;
  std::string error;
  if (!ParseJsonBody(request.body, options_.maxJsonDepth, body, error))
    return ErrorReply(400, error);
  if (!body.is_object()) return ErrorReply(400, "the speak body must be a JSON object");
  const nlohmann::json* ssml = StringMember(body, "ssml");
  if (ssml == nullptr) return ErrorReply(400, "the speak body needs the text ssml");
  const nlohmann::json* format = StringMember(body, "ttsAudioFormat");
  if (format == nullptr || format->get_ref<const std::string&>() != kAudioFormatName) {
    return ErrorReply(400, std::string("ttsAudioFormat must be \"") + kAudioFormatName + "\"");
  }
  if (HasMemberOfWrongType(body, "properties", nlohmann::json::value_t::object)) {
    return ErrorReply(400, "properties must be an object");
  }

  SsmlContent content;
  if (!ReadSsml(ssml->get_ref<const std::string&>(), options_.ssml, content, error)) {
    return ErrorReply(400, error);
  }

  // The offset and length address the text as split-ssmls reported it; they must lie in it.
  std::uint64_t offset = 0, length = content.plainTextLength;
  const bool hasOffset = body.contains("offsetInPlainText");
  const bool hasLength = body.contains("lengthInPlainText");
  if ((hasOffset && !ReadCount(body["offsetInPlainText"], offset)) ||
      (hasLength && !ReadCount(body["lengthInPlainText"], length))) {
    return ErrorReply(400, "offsetInPlainText and lengthInPlainText must be whole numbers");
  }
  if (offset > content.plainTextLength || length > content.plainTextLength - offset) {
    return ErrorReply(400, "offsetInPlainText and lengthInPlainText lie outside the SSML's text");
  }

  if (cancelled_.load()) return ErrorReply(503, "the service is shutting down");
  StopCheck stop = [this, clientGone = how.clientGone] {
    return cancelled_.load(std::memory_order_relaxed) || (clientGone && clientGone());
  };
  VoiceList voices = engine_->Voices(error);
  if (!voices) return ErrorReply(502, error);
  auto speech = std::make_shared<SpeechStream>(*engine_, std::move(voices), content.segments,
                                               std::move(stop), options_.speech);
  ServiceReply reply;
  reply.contentType = "audio/mpeg";
  // The first piece is spoken before the reply begins, so that a voice the engine cannot
  // speak still gets an error status; a streamed reply then carries on with the rest.
  for (;;) {
    switch (speech->Next(reply.body)) {
      case ReplyStream::Step::kFailed:
        return ErrorReply(speech->FailureStatus(), speech->FailureMessage());
      case ReplyStream::Step::kEnd:
        return reply;
      case ReplyStream::Step::kMore:
        if (how.stream) {
          reply.stream = std::move(speech);
          return reply;
        }
        break;
    }
  }
}

}  // namespace lectoria::speechd
