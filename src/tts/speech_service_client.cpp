#include "tts/speech_service_client.h"

#include "json/json_document.h"
#include "tts/service_headers.h"
#include "tts/service_identity.h"
#include "tts/style_table.h"

namespace lectoria {
namespace {

namespace ids = speech_ids;

constexpr int kGet = 0;
constexpr int kPost = 1;
// The speak request leaves the transport's own limits in force; the others use the default.
constexpr int kDefaultTimeout = 0;
constexpr int kTransportTimeout = -1;

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load();
}

}  // namespace

bool LooksLikeMp3(std::string_view bytes) {
  if (bytes.substr(0, 3) == "ID3") return true;
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         (static_cast<unsigned char>(bytes[1]) & 0xE0) == 0xE0;
}

SpeechServiceClient::SpeechServiceClient(SpeechServiceEndpoint endpoint,
                                         std::chrono::milliseconds synthesisDeadline)
    : endpoint_(std::move(endpoint)), synthesisDeadline_(synthesisDeadline) {}

std::string SpeechServiceClient::FetchAuthToken(const std::atomic<bool>* cancel) const {
  const ServiceReply reply = SendServiceRequest(endpoint_, ids::kAuthTokenPath, kGet,
                                                AuthTokenHeaders(), {}, kDefaultTimeout, cancel);
  JsonDocument document;
  if (!document.Parse(ReplyText(reply))) return {};
  return document.GetText("authToken");
}

std::string SpeechServiceClient::FetchVoiceList(std::string_view token,
                                                const std::atomic<bool>* cancel,
                                                ServiceDeadline deadline) const {
  if (token.empty()) return {};
  const ServiceReply reply =
      SendServiceRequest(endpoint_, ids::kVoicesPath, kPost,
                         VoicesHeaders(endpoint_, token, LocalByteLength(ids::kVoicesQuery)),
                         ids::kVoicesQuery, kDefaultTimeout, cancel, deadline);
  if (!reply.Succeeded()) return {};
  return ReplyText(reply);
}

std::vector<std::string> SpeechServiceClient::LoadVoiceCatalogue(
    std::string_view token, SpeechClientState& state, const std::atomic<bool>* cancel) const {
  if (token.empty()) return {};
  std::string list = FetchVoiceList(token, cancel);
  if (!IsVoiceList(list)) return {};
  std::vector<std::string> names = VoiceShortNames(list);
  state.SetVoiceListJson(std::move(list));
  return names;
}

std::string SpeechServiceClient::SynthesizeLine(std::string_view token, std::string_view lineText,
                                                std::string_view voiceName,
                                                std::string_view styleLabel,
                                                SpeechClientState& state,
                                                const std::atomic<bool>* cancel) const {
  if (lineText.empty() || styleLabel.empty() || voiceName.empty() ||
      state.VoiceListJson().empty() || token.empty())
    return {};

  if (const auto style = StyleForLabel(styleLabel)) state.SetServiceStyleName(std::string(*style));
  const std::string styleName = state.ServiceStyleName();
  const ServiceDeadline deadline = std::chrono::steady_clock::now() + synthesisDeadline_;

  // The voice is looked up in a fresh list, which also keeps the cached one current.
  std::string list = FetchVoiceList(token, cancel, deadline);
  if (!IsVoiceList(list)) return {};
  std::optional<VoiceRecord> voice = FindVoiceRecord(list, voiceName);
  state.SetVoiceListJson(std::move(list));
  if (!voice || Cancelled(cancel)) return {};

  PostMultitune(token, *voice, lineText, JoinWithCommas(state.StyleLabels()), styleName, cancel,
                deadline);
  if (Cancelled(cancel)) return {};

  const std::optional<SplitPosition> position =
      ReadSplitPosition(PostSplitSsmls(token, *voice, lineText, cancel, deadline));
  if (!position || Cancelled(cancel)) return {};

  return PostSpeak(token, *position, *voice, lineText, styleName, cancel, deadline);
}

std::string SpeechServiceClient::PostMultitune(std::string_view token, const VoiceRecord& voice,
                                               std::string_view lineText,
                                               std::string_view styleLabels,
                                               std::string_view serviceStyleName,
                                               const std::atomic<bool>* cancel,
                                               ServiceDeadline deadline) const {
  const std::string body = BuildMultituneBody(voice, lineText, styleLabels, serviceStyleName);
  const ServiceReply reply =
      SendServiceRequest(endpoint_, ids::kMultitunePath, kPost,
                         MultituneHeaders(endpoint_, token, LocalByteLength(body)), body,
                         kDefaultTimeout, cancel, deadline);
  return ReplyText(reply);
}

std::string SpeechServiceClient::PostSplitSsmls(std::string_view token, const VoiceRecord& voice,
                                                std::string_view lineText,
                                                const std::atomic<bool>* cancel,
                                                ServiceDeadline deadline) const {
  const std::string body = BuildSplitSsmlsBody(voice, lineText);
  const ServiceReply reply =
      SendServiceRequest(endpoint_, ids::kSplitSsmlsPath, kPost,
                         SplitSsmlsHeaders(endpoint_, token, LocalByteLength(body)), body,
                         kDefaultTimeout, cancel, deadline);
  return ReplyText(reply);
}

std::string SpeechServiceClient::PostSpeak(std::string_view token, const SplitPosition& position,
                                           const VoiceRecord& voice, std::string_view lineText,
                                           std::string_view serviceStyleName,
                                           const std::atomic<bool>* cancel,
                                           ServiceDeadline deadline) const {
  const std::string body = BuildSpeakBody(voice, lineText, serviceStyleName, position);
  ServiceReply reply = SendServiceRequest(endpoint_, ids::kSpeakPath, kPost,
                                          SpeakHeaders(endpoint_, token, LocalByteLength(body)),
                                          body, kTransportTimeout, cancel, deadline);
  // An error reply also has a body; only audio may become a clip file.
  if (!reply.Succeeded() || !LooksLikeMp3(reply.body)) return {};
  return std::move(reply.body);
}

}  // namespace lectoria
