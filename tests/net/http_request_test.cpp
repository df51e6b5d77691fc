// HttpRequest on the wire: the exact request bytes for verbs, header blocks, bodies and cookies.
#include "net/http_request.h"

#include <gtest/gtest.h>

#include "net/support/raw_http_server.h"

namespace lectoria {
namespace {

using test::MakeReply;
using test::RawHttpServer;
using test::RecordedRequest;
using Lines = std::vector<std::string>;

const std::string kDefaultUserAgent =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

RawHttpServer::Handler Answer(int status, std::string body, Lines headerLines = {}) {
  return [=](const RecordedRequest&) { return MakeReply(status, body, headerLines); };
}

std::string HostLine(const RawHttpServer& server) {
  return "Host: 127.0.0.1:" + std::to_string(server.port());
}

TEST(HttpRequestWire, GetWithEmptyBlockSendsExactlyTheDefaults) {
  RawHttpServer server(Answer(200, "hello", {"X-Reply: 1"}));
  const std::string url = server.Url("/p?q=1");
  int status = -7;
  std::string responseHeaders = "stale";
  HttpRequestOptions options;
  options.statusCode = &status;
  options.responseHeaders = &responseHeaders;

  EXPECT_EQ(HttpRequest(url, options), "hello");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(responseHeaders, "X-Reply: 1\r\nContent-Length: 5\r\nConnection: close");
  const RecordedRequest request = server.Requests().at(0);
  EXPECT_EQ(request.requestLine, "GET /p?q=1 HTTP/1.1");
  EXPECT_EQ(request.headerLines, (Lines{HostLine(server), "Accept: */*", "Referer: " + url,
                                        "Accept-Language: zh-cn", kDefaultUserAgent}));
  EXPECT_EQ(request.body, "");
}

TEST(HttpRequestWire, PostWithEmptyBlockAddsFormTypeAndZeroLength) {
  RawHttpServer server(Answer(200, ""));
  const std::string url = server.Url("/post");
  HttpRequestOptions options;
  options.method = 1;
  HttpRequest(url, options);
  const RecordedRequest request = server.Requests().at(0);
  EXPECT_EQ(request.requestLine, "POST /post HTTP/1.1");
  EXPECT_EQ(request.headerLines,
            (Lines{HostLine(server), "Accept: */*", "Referer: " + url, "Accept-Language: zh-cn",
                   kDefaultUserAgent, "Content-Type: application/x-www-form-urlencoded",
                   "Content-Length: 0"}));
}

TEST(HttpRequestWire, MethodNumbersGiveVerbs) {
  RawHttpServer server(Answer(200, ""));
  const std::vector<std::pair<int, std::string>> cases{
      {0, "GET"},    {1, "POST"},  {2, "HEAD"},    {3, "PUT"},  {4, "OPTIONS"},
      {5, "DELETE"}, {6, "TRACE"}, {7, "CONNECT"}, {-1, "GET"}, {9, "GET"}};
  for (const auto& [method, verb] : cases) {
    HttpRequestOptions options;
    options.method = method;
    HttpRequest(server.Url("/v"), options);
  }
  const std::vector<RecordedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(requests[i].requestLine, cases[i].second + " /v HTTP/1.1") << cases[i].first;
}

TEST(HttpRequestWire, TextBodyGoesAsUtf8WithTrueLengthInItsPlace) {
  RawHttpServer server(Answer(200, "ok"));
  const std::string url = server.Url("/json");
  HttpRequestOptions options;
  options.method = 1;
  options.postText = "{\"t\":\"\xD6\xD0\xCE\xC4\"}";  // {"t":"中文"}, 12 bytes in GBK
  options.headers = "content-type: application/json\r\nContent-Length: 12\r\nx-after: 1";
  HttpRequest(url, options);
  const RecordedRequest request = server.Requests().at(0);
  EXPECT_EQ(request.body, "{\"t\":\"\xE4\xB8\xAD\xE6\x96\x87\"}");
  EXPECT_EQ(
      request.headerLines,
      (Lines{HostLine(server), "Content-Type: application/json", "Content-Length: 14", "X-After: 1",
             "Accept: */*", "Referer: " + url, "Accept-Language: zh-cn", kDefaultUserAgent}));
}

TEST(HttpRequestWire, ByteBodyGoesAsItIsInsteadOfText) {
  RawHttpServer server(Answer(200, ""));
  HttpRequestOptions options;
  options.method = 3;
  options.postText = "ignored";
  options.postBytes = std::string("\x00\xFF\xD6\xD0 bytes", 8);
  options.completeHeaders = false;
  HttpRequest(server.Url("/put"), options);
  const RecordedRequest request = server.Requests().at(0);
  EXPECT_EQ(request.body, options.postBytes);
  EXPECT_EQ(request.headerLines, (Lines{HostLine(server), "Content-Length: 8"}));
}

// The shape of the speech client's blocks: its own Host, "Connection: keep-alive", a stale
// Content-Length, lower-case names, and a body large enough that libcurl would otherwise ask
// for "Expect: 100-continue".
TEST(HttpRequestWire, ServiceStyleBlockReachesTheWireInOrder) {
  RawHttpServer server(Answer(200, "ok"));
  const std::string url = server.Url("/api/speak");
  const std::string host = "localhost:" + std::to_string(server.port());
  HttpRequestOptions options;
  options.method = 1;
  options.postText = std::string(1'500'000, 'x');
  options.headers =
      "AccDemoPageAuthToken: tok\r\nAccept: */*\r\nConnection: keep-alive\r\n"
      "Content-Length: 99\r\nContent-Type: application/json\r\nHost: " +
      host + "\r\nsec-ch-ua-mobile: ?0\r\nx-ms-useragent: SpeechStudio/2021.05.001";
  options.timeoutSeconds = -1;
  EXPECT_EQ(HttpRequest(url, options), "ok");
  const RecordedRequest request = server.Requests().at(0);
  EXPECT_EQ(request.body.size(), 1'500'000u);
  // libcurl always writes Host first, with the block's value when the block gives one.
  EXPECT_EQ(request.headerLines,
            (Lines{"Host: " + host, "AccDemoPageAuthToken: tok", "Accept: */*",
                   "Content-Length: 1500000", "Content-Type: application/json",
                   "Sec-Ch-Ua-Mobile: ?0", "X-Ms-Useragent: SpeechStudio/2021.05.001",
                   "Referer: " + url, "Accept-Language: zh-cn", kDefaultUserAgent}));
}

TEST(HttpRequestWire, BlockRulesWithoutDefaults) {
  struct Case {
    int method;
    std::string block;
    bool normalise;
    Lines sentAfterHost;
  };
  const std::vector<Case> cases{
      {0, "", true, {}},
      {1, "", true, {"Content-Length: 0"}},  // no form Content-Type of libcurl's own
      {0, "Connection: keep-alive", true, {"Connection: keep-alive"}},
      {0, "Connection: keep-alive\r\nX: 1", true, {"X: 1"}},
      {0, "Connection: close\r\nX: 1", true, {"Connection: close", "X: 1"}},
      {0, "connection: keep-alive\r\nX: 1", false, {"connection: keep-alive", "X: 1"}},
      {0, "X: 1\r\nBad Name: 2\r\nY: 3", true, {"X: 1", "Y: 3"}},
      {0, "X: 1\r\nx: 2", false, {"X: 2"}},  // a later header of the same name replaces
      {0, "Transfer-Encoding: chunked\r\nX: 1", true, {"X: 1"}},
  };
  RawHttpServer server(Answer(200, ""));
  for (const Case& c : cases) {
    HttpRequestOptions options;
    options.method = c.method;
    options.headers = c.block;
    options.completeHeaders = false;
    options.normaliseHeaderNames = c.normalise;
    HttpRequest(server.Url("/b"), options);
  }
  const std::vector<RecordedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Lines expected{HostLine(server)};
    expected.insert(expected.end(), cases[i].sentAfterHost.begin(), cases[i].sentAfterHost.end());
    EXPECT_EQ(requests[i].headerLines, expected) << cases[i].block;
  }
}

TEST(HttpRequestCookies, PrefixIsStrippedAndReturnedCookiesAreMerged) {
  RawHttpServer server(
      Answer(200, "", {"Set-Cookie: a=9; Path=/", "Set-Cookie: b=deleted; Max-Age=0"}));
  std::string cookies = "Cookie: a=1; c=3";
  std::string returned = "stale";
  HttpRequestOptions options;
  options.cookies = &cookies;
  options.returnedCookies = &returned;
  options.completeHeaders = false;
  options.headers = "X: 1";
  HttpRequest(server.Url("/c"), options);
  EXPECT_EQ(server.Requests().at(0).headerLines,
            (Lines{HostLine(server), "Cookie:  a=1; c=3", "X: 1"}));
  EXPECT_EQ(cookies, "a=9; c=3");
  EXPECT_EQ(returned, "a=9; c=3");
}

TEST(HttpRequestCookies, WithoutMergeOrWithoutCookiesGiven) {
  RawHttpServer server(Answer(200, "", {"Set-Cookie: a=9", "Set-Cookie: b=2; HttpOnly"}));
  std::string cookies = "a=1";
  std::string returned;
  HttpRequestOptions options;
  options.cookies = &cookies;
  options.returnedCookies = &returned;
  options.mergeCookies = false;
  HttpRequest(server.Url("/c"), options);
  EXPECT_EQ(cookies, "a=1");
  EXPECT_EQ(returned, "a=9; b=2");

  options.cookies = nullptr;
  returned.clear();
  HttpRequest(server.Url("/c"), options);
  EXPECT_EQ(returned, "a=9; b=2");
  EXPECT_EQ(server.Requests().at(1).Header("Cookie"), "");
}

TEST(HttpRequestCookies, EmptyCookieTextSendsNoCookieHeader) {
  RawHttpServer server(Answer(200, ""));
  std::string cookies;
  HttpRequestOptions options;
  options.cookies = &cookies;
  options.completeHeaders = false;
  HttpRequest(server.Url("/c"), options);
  EXPECT_EQ(server.Requests().at(0).headerLines, (Lines{HostLine(server)}));
}

TEST(HttpRequestReply, BodyComesBackRawWhateverTheStatus) {
  const std::string gzipped(
      "\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03\x03\x00\x00\x00\x00\x00"
      "\x00\x00\x00\x00",
      20);
  RawHttpServer server(Answer(404, gzipped, {"Content-Encoding: gzip"}));
  int status = 0;
  HttpRequestOptions options;
  options.statusCode = &status;
  EXPECT_EQ(HttpRequest(server.Url("/z"), options), gzipped);
  EXPECT_EQ(status, 404);
  EXPECT_EQ(server.Requests().at(0).Header("Accept-Encoding"), "");
}

}  // namespace
}  // namespace lectoria
