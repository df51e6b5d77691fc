#include "tts/service_headers.h"

#include <gtest/gtest.h>

#include "platform/gbk_text.h"
#include "tts/service_endpoint.h"
#include "tts_test_support.h"

namespace lectoria {
namespace {

constexpr std::string_view kEdge =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/101.0.4951.54 Safari/537.36 Edg/101.0.1210.39";
constexpr std::string_view kSecChUa =
    R"(" Not A;Brand";v="99", "Chromium";v="101", "Microsoft Edge";v="101")";

std::vector<std::string> Lines(const std::string& block) {
  return SplitText(block, "\r\n");
}

SpeechServiceEndpoint Endpoint() {
  SpeechServiceEndpoint endpoint;
  endpoint.baseUrl = "https://api.example.test:8443/";
  endpoint.origin = "https://page.example.test";
  return endpoint;
}

TEST(ServiceEndpoint, DerivesUrlAndHost) {
  const SpeechServiceEndpoint endpoint = Endpoint();
  EXPECT_EQ(endpoint.Url("/api/x"), "https://api.example.test:8443/api/x");
  EXPECT_EQ(endpoint.Host(), "api.example.test:8443");

  const SpeechServiceEndpoint local = SpeechServiceEndpoint::Local(5123);
  EXPECT_EQ(local.Url("/a"), "http://127.0.0.1:5123/a");
  EXPECT_EQ(local.Host(), "127.0.0.1:5123");
  EXPECT_EQ(local.origin, "http://127.0.0.1:5123");

  const SpeechServiceEndpoint standard;
  EXPECT_TRUE(StartsWith(standard.baseUrl, "https://"));
  EXPECT_FALSE(standard.ignoreCertificateErrors);
  EXPECT_TRUE(standard.caFile.empty());
}

TEST(ServiceHeaders, TokenRequestSendsOnlyTheUserAgent) {
  EXPECT_EQ(AuthTokenHeaders(), "User-Agent: " + std::string(kEdge));
}

TEST(ServiceHeaders, VoicesBlockIsExact) {
  const std::vector<std::string> expected = {
      "AccDemoPageAuthToken: T",
      "Accept: application/json, text/plain, */*",
      "Accept-Language: zh-CN,zh;q=0.9,en;q=0.8,en-GB;q=0.7,en-US;q=0.6",
      "Cache-Control: no-cache",
      "Connection: keep-alive",
      "Content-Length: 105",
      "Content-Type: application/json",
      "CustomvoiceConnectionId: 5c2e8a10-4b7d-11ed-8f3a-2b9e6d4c1a07",
      "Host: api.example.test:8443",
      "Origin: https://page.example.test",
      "Pragma: no-cache",
      "Sec-Fetch-Dest: empty",
      "Sec-Fetch-Mode: cors",
      "Sec-Fetch-Site: same-site",
      "SpeechStudio-Session-Id: 7f41c6d2-4b7d-11ed-8f3a-2b9e6d4c1a07",
      "SpeechStudio-SubscriptionSession-Id: undefined",
      "User-Agent: Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/86.0.4240.198 Safari/537.36",
      "sec-ch-ua-mobile: ?0",
      "sec-ch-ua-platform: \"Windows\"",
      "x-ms-useragent: SpeechStudio/2021.05.001",
  };
  EXPECT_EQ(Lines(VoicesHeaders(Endpoint(), "T", 105)), expected);
}

TEST(ServiceHeaders, SynthesisBlocksAreExact) {
  const std::string edge(kEdge);
  const std::string secChUa(kSecChUa);
  const std::vector<std::string> multitune = {
      "AccDemoPageAuthToken: T",
      "Accept: application/json, text/plain, */*",
      "Accept-Encoding: gzip, deflate",
      "Accept-Language: zh-CN,zh;q=0.9,en;q=0.8,en-GB;q=0.7,en-US;q=0.6",
      "Cache-Control: no-cache",
      "Connection: keep-alive",
      "Content-Length: 77",
      "Content-Type: application/json",
      "CustomvoiceConnectionId: 1d93b4e8-4b80-11ed-a6c1-9e37f2085bd4",
      "Host: api.example.test:8443",
      "Origin: https://page.example.test",
      "Pragma: no-cache",
      "Sec-Fetch-Dest: empty",
      "Sec-Fetch-Mode: cors",
      "Sec-Fetch-Site: same-site",
      "SpeechStudio-Session-Id: c8a57f36-4b7f-11ed-a6c1-9e37f2085bd4",
      "SpeechStudio-SubscriptionSession-Id: undefined",
      "User-Agent: " + edge,
      "sec-ch-ua: " + secChUa,
      "sec-ch-ua-mobile: ?0",
      "sec-ch-ua-platform: \"Windows\"",
      "x-ms-useragent: SpeechStudio/2021.05.001",
  };
  EXPECT_EQ(Lines(MultituneHeaders(Endpoint(), "T", 77)), multitune);

  // The same lines with the token moved to the end.
  std::vector<std::string> split(multitune.begin() + 1, multitune.end());
  split.push_back("AccDemoPageAuthToken: T");
  EXPECT_EQ(Lines(SplitSsmlsHeaders(Endpoint(), "T", 77)), split);

  const std::vector<std::string> speak = {
      "AccDemoPageAuthToken: T",
      "Accept: */*",
      "Accept-Language: zh-CN,zh;q=0.9,en;q=0.8,en-GB;q=0.7,en-US;q=0.6",
      "Cache-Control: no-cache",
      "Connection: keep-alive",
      "Content-Length: 900",
      "Content-Type: application/json",
      "CustomvoiceConnectionId: 1d93b4e8-4b80-11ed-a6c1-9e37f2085bd4",
      "Host: api.example.test:8443",
      "Origin: https://page.example.test",
      "Pragma: no-cache",
      "Sec-Fetch-Dest: empty",
      "Sec-Fetch-Mode: cors",
      "Sec-Fetch-Site: same-site",
      "User-Agent: " + edge,
      "sec-ch-ua: " + secChUa,
      "sec-ch-ua-mobile: ?0",
      "sec-ch-ua-platform: \"Windows\"",
  };
  EXPECT_EQ(Lines(SpeakHeaders(Endpoint(), "T", 900)), speak);
}

TEST(ReplyText, DecodesWhatTheReplyDeclaresOrIsPlainlyGzip) {
  const std::string json = testing::Gbk("{\"text\":\"你好\"}");
  const std::string utf8 = "{\"text\":\"\xE4\xBD\xA0\xE5\xA5\xBD\"}";
  struct Case {
    const char* name;
    ServiceReply reply;
    std::string expected;
  } cases[] = {
      {"plain", {utf8, "Content-Type: application/json", 200}, json},
      {"no headers", {utf8, "", 200}, json},
      {"gzip", {testing::Gzip(utf8), "Content-Type: x\r\ncontent-encoding:  GZIP ", 200}, json},
      {"identity", {utf8, "Content-Encoding: identity", 200}, json},
      // The service may compress without saying so: the gzip magic bytes decide.
      {"gzip undeclared", {testing::Gzip(utf8), "Content-Type: application/json", 200}, json},
      // An encoding that cannot be decoded gives nothing rather than garbage.
      {"brotli", {"\x1b\x03", "Content-Encoding: br", 200}, ""},
      {"gzip declared, plain sent", {utf8, "Content-Encoding: gzip", 200}, ""},
      {"empty", {"", "", 0}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplyText(c.reply), c.expected) << c.name;
}

}  // namespace
}  // namespace lectoria
