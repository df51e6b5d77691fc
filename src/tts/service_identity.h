// The fixed identifiers and browser header values the speech service's demo API expects.
//
// They are constants, the same on every run: the demo page sends them, and the service checks
// that they are present rather than what they are.
#pragma once

#include <string_view>

namespace lectoria::speech_ids {

/// The request paths below the service's base address.
inline constexpr std::string_view kAuthTokenPath =
    "/api/texttospeech/v3.0-beta1/accdemopageentry/auth-token";
inline constexpr std::string_view kVoicesPath = "/api/texttospeech/v3.0-beta1/accdemopage/voices";
inline constexpr std::string_view kMultitunePath =
    "/api/texttospeech/v3.0-beta1/accdemopage/multitune";
inline constexpr std::string_view kSplitSsmlsPath =
    "/api/texttospeech/v3.0-beta1/accdemopage/split-ssmls";
inline constexpr std::string_view kSpeakPath = "/api/texttospeech/v3.0-beta1/accdemopage/speak";

/// The header that carries the token on every request but the token request.
inline constexpr std::string_view kTokenHeader = "AccDemoPageAuthToken";

// Connection and session identifiers: one set for the voices request, one for the three
// synthesis requests.
inline constexpr std::string_view kVoicesConnectionId = "5c2e8a10-4b7d-11ed-8f3a-2b9e6d4c1a07";
inline constexpr std::string_view kVoicesSessionId = "7f41c6d2-4b7d-11ed-8f3a-2b9e6d4c1a07";
inline constexpr std::string_view kTuneConnectionId = "1d93b4e8-4b80-11ed-a6c1-9e37f2085bd4";
inline constexpr std::string_view kTuneSessionId = "c8a57f36-4b7f-11ed-a6c1-9e37f2085bd4";
inline constexpr std::string_view kSubscriptionSessionId = "undefined";

/// The Edge user agent of the token, multitune, split-ssmls and speak requests.
inline constexpr std::string_view kEdgeUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/101.0.4951.54 Safari/537.36 Edg/101.0.1210.39";
/// The older user agent the voices request sends.
inline constexpr std::string_view kVoicesUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/86.0.4240.198 Safari/537.36";
inline constexpr std::string_view kSecChUa =
    "\" Not A;Brand\";v=\"99\", \"Chromium\";v=\"101\", \"Microsoft Edge\";v=\"101\"";
inline constexpr std::string_view kSecChUaMobile = "?0";
inline constexpr std::string_view kSecChUaPlatform = "\"Windows\"";
inline constexpr std::string_view kMsUserAgent = "SpeechStudio/2021.05.001";

inline constexpr std::string_view kAcceptJson = "application/json, text/plain, */*";
inline constexpr std::string_view kAcceptAny = "*/*";
/// Only the encodings InflateReply can decode are offered (no "br").
inline constexpr std::string_view kAcceptEncoding = "gzip, deflate";
inline constexpr std::string_view kAcceptLanguage =
    "zh-CN,zh;q=0.9,en;q=0.8,en-GB;q=0.7,en-US;q=0.6";
inline constexpr std::string_view kJsonContentType = "application/json";

/// The voices request's body: the standard voices only.
inline constexpr std::string_view kVoicesQuery =
    R"({"queryCondition":{"items":[{"name":"VoiceTypeList","value":"StandardVoice","operatorKind":"Contains"}]}})";

/// The audio format asked for in the speak request.
inline constexpr std::string_view kAudioFormat = "audio-24khz-160kbitrate-mono-mp3";

// Namespaces of the speak element.
inline constexpr std::string_view kSsmlNamespace = "http://www.w3.org/2001/10/synthesis";
inline constexpr std::string_view kMsttsNamespace = "http://www.w3.org/2001/mstts";
inline constexpr std::string_view kEmotionNamespace = "http://www.w3.org/2009/10/emotionml";

}  // namespace lectoria::speech_ids
