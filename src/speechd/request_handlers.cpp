#include "speechd/request_handlers.h"

#include "speechd/gzip_codec.h"
#include "speechd/handler_support.h"
#include "speechd/speech_synthesizer.h"
#include "speechd/voice_catalogue.h"

namespace lectoria::speechd {

namespace {

bool IsJsonContentType(std::string_view contentType) {
  std::string_view mediaType = contentType.substr(0, contentType.find(';'));
  while (!mediaType.empty() && mediaType.back() == ' ') mediaType.remove_suffix(1);
  return HeaderNameEquals(mediaType, "application/json");
}

// Request bodies are taken as sent: a compressed one would have to be inflated before its
// size could be checked, so none is accepted.
bool IsCompressed(const ServiceRequest& request) {
  if (!request.HasHeader("Content-Encoding")) return false;
  std::string_view coding = request.Header("Content-Encoding");
  return !HeaderNameEquals(coding, "identity");
}

}  // namespace

std::string_view StatusCodeName(int status) {
  switch (status) {
    case 400:
      return "BadRequest";
    case 401:
      return "Unauthorized";
    case 404:
      return "NotFound";
    case 405:
      return "MethodNotAllowed";
    case 413:
      return "PayloadTooLarge";
    case 415:
      return "UnsupportedMediaType";
    case 500:
      return "InternalServerError";
    case 502:
      return "BadGateway";
    case 503:
      return "ServiceUnavailable";
    default:
      return status >= 500 ? "ServerError" : "ClientError";
  }
}

ServiceReply ErrorReply(int status, std::string_view message) {
  nlohmann::ordered_json body;
  body["error"] = {{"code", StatusCodeName(status)}, {"message", message}};
  ServiceReply reply;
  reply.status = status;
  reply.contentType = std::string(kJsonContentType);
  reply.body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return reply;
}

std::size_t JsonDepth(std::string_view text, std::size_t limit) {
  std::size_t depth = 0;
  std::size_t deepest = 0;
  bool inString = false;
  bool escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
      if (deepest > limit) return deepest;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

bool ParseJsonBody(std::string_view body, std::size_t maxDepth, nlohmann::json& value,
                   std::string& error) {
  if (JsonDepth(body, maxDepth) > maxDepth) {
    error = "the body nests JSON deeper than " + std::to_string(maxDepth) + " levels";
    return false;
  }
  value = nlohmann::json::parse(body.begin(), body.end(), nullptr, /*allow_exceptions=*/false);
  if (value.is_discarded()) {
    error = "the body is not valid JSON";
    return false;
  }
  return true;
}

ServiceReply JsonReply(const nlohmann::ordered_json& value, bool gzip) {
  ServiceReply reply;
  reply.contentType = std::string(kJsonContentType);
  const std::string text = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (gzip) {
    reply.body = GzipCompress(text);
    if (reply.body.empty()) return ErrorReply(500, "compressing the reply failed");
    reply.contentEncoding = "gzip";
  } else {
    reply.body = text;
  }
  return reply;
}

bool ReadCount(const nlohmann::json& value, std::uint64_t& out) {
  if (value.is_number_unsigned()) {
    out = value.get<std::uint64_t>();
  } else if (value.is_number_integer()) {
    const std::int64_t signedValue = value.get<std::int64_t>();
    if (signedValue < 0) return false;
    out = static_cast<std::uint64_t>(signedValue);
  } else {
    return false;
  }
  return out <= (std::uint64_t{1} << 53);
}

RequestHandlers::RequestHandlers(HandlerOptions options)
    : options_(std::move(options)),
      engine_(options_.engine ? options_.engine : std::make_shared<EspeakEngine>()),
      tokens_(options_.tokenLifetime, options_.clock) {}

ServiceReply RequestHandlers::Handle(const ServiceRequest& request, const ReplyOptions& how) {
  struct Route {
    std::string_view path;
    std::string_view method;
    ServiceReply (RequestHandlers::*handler)(const ServiceRequest&, const ReplyOptions&);
  };
  static constexpr Route kRoutes[] = {
      {kVoicesPath, "POST", &RequestHandlers::Voices},
      {kMultitunePath, "POST", &RequestHandlers::Multitune},
      {kSplitSsmlsPath, "POST", &RequestHandlers::SplitSsmls},
      {kSpeakPath, "POST", &RequestHandlers::Speak},
  };

  try {
    if (request.path == kAuthTokenPath) {
      if (request.method != "GET" && request.method != "HEAD") {
        return ErrorReply(405, "the token is fetched with GET");
      }
      return AuthToken(request);
    }
    for (const Route& route : kRoutes) {
      if (request.path != route.path) continue;
      if (request.method != route.method) {
        return ErrorReply(405, "this request is sent with " + std::string(route.method));
      }
      if (!tokens_.IsValid(request.Header(kTokenHeader))) {
        return ErrorReply(401,
                          "the AccDemoPageAuthToken header holds no valid token; fetch a new one");
      }
      if (request.body.size() > options_.maxBodyBytes) {
        return ErrorReply(
            413, "the body is larger than " + std::to_string(options_.maxBodyBytes) + " bytes");
      }
      if (!IsJsonContentType(request.Header("Content-Type"))) {
        return ErrorReply(415, "the body must be sent as application/json");
      }
      if (IsCompressed(request)) {
        return ErrorReply(415, "the body must be sent uncompressed (no Content-Encoding)");
      }
      return (this->*route.handler)(request, how);
    }
    return ErrorReply(404, "no such request: " + request.path);
  } catch (const std::exception&) {
    // The handlers do not throw by design; this keeps a fault in them from ending the server.
    return ErrorReply(500, "the request could not be handled");
  }
}

ServiceReply RequestHandlers::AuthToken(const ServiceRequest& request) {
  const std::string token = tokens_.Issue(request.clientAddress);
  if (token.empty()) return ErrorReply(500, "no random token could be made");
  nlohmann::ordered_json body;
  body["authToken"] = token;
  body["expiresInSeconds"] = tokens_.Lifetime().count();
  return JsonReply(body, false);
}

ServiceReply RequestHandlers::Voices(const ServiceRequest& request, const ReplyOptions&) {
  nlohmann::json body;
  std::string error;
  if (!ParseJsonBody(request.body, options_.maxJsonDepth, body, error))
    return ErrorReply(400, error);
  if (!body.is_object()) return ErrorReply(400, "the voices query must be a JSON object");

  std::vector<std::string> voiceTypes;
  if (body.contains("queryCondition")) {
    const nlohmann::json& condition = body["queryCondition"];
    if (!condition.is_object()) return ErrorReply(400, "queryCondition must be an object");
    if (condition.contains("items")) {
      const nlohmann::json& items = condition["items"];
      if (!items.is_array()) return ErrorReply(400, "queryCondition.items must be an array");
      for (const nlohmann::json& item : items) {
        if (!item.is_object() || !item.contains("name") || !item["name"].is_string() ||
            !item.contains("value") || !item["value"].is_string() ||
            !item.contains("operatorKind") || !item["operatorKind"].is_string()) {
          return ErrorReply(400, "each query item needs the texts name, value and operatorKind");
        }
        if (item["name"].get<std::string>() != "VoiceTypeList") continue;  // not a filter here
        if (item["operatorKind"].get<std::string>() != "Contains") {
          return ErrorReply(400, "VoiceTypeList supports only the operator Contains");
        }
        const std::string value = item["value"].get<std::string>();
        std::size_t start = 0;
        while (start <= value.size()) {
          const std::size_t comma = std::min(value.find(',', start), value.size());
          if (comma > start) voiceTypes.push_back(value.substr(start, comma - start));
          start = comma + 1;
        }
      }
    }
  }
  const VoiceList voices = engine_->Voices(error);
  if (!voices) return ErrorReply(502, error);
  ServiceReply reply;
  reply.contentType = std::string(kJsonContentType);
  reply.body = VoiceListJson(*voices, engine_->Name(), voiceTypes);
  return reply;
}

}  // namespace lectoria::speechd
