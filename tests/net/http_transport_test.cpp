// HttpRequest's transport behaviour: redirects, proxies, failures, time-outs, limits, threads.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "net/curl_transfer.h"
#include "net/http_request.h"
#include "net/support/raw_http_server.h"

namespace lectoria {
namespace {

using test::MakeReply;
using test::RawHttpServer;
using test::RawReply;
using test::RecordedRequest;
using Lines = std::vector<std::string>;

// Serves "/to" with 200 "arrived" and redirects everything else there with `status`.
RawHttpServer::Handler RedirectTo(int status, std::string location) {
  return [=](const RecordedRequest& r) {
    if (r.Target() == "/to") return MakeReply(200, "arrived");
    return MakeReply(status, "moved", {"Location: " + location});
  };
}

TEST(HttpRedirect, PostFollowedAsGetWithoutBodyKeepingHeaderOrder) {
  for (int status : {301, 302, 303}) {
    RawHttpServer server(RedirectTo(status, "/to"));
    int code = 0;
    HttpRequestOptions options;
    options.method = 1;
    options.postText = "data";
    options.headers = "Content-Length: 4\r\nX-First: 1";
    options.completeHeaders = false;
    options.statusCode = &code;
    EXPECT_EQ(HttpRequest(server.Url("/from"), options), "arrived") << status;
    EXPECT_EQ(code, 200);
    const std::vector<RecordedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].body, "data");
    EXPECT_EQ(requests[1].requestLine, "GET /to HTTP/1.1");
    EXPECT_EQ(requests[1].body, "");
    EXPECT_EQ(requests[1].HeaderNames(), (Lines{"Host", "X-First"}));
  }
}

TEST(HttpRedirect, TemporaryAndPermanentKeepMethodAndBody) {
  for (int status : {307, 308}) {
    RawHttpServer server(RedirectTo(status, "/to"));
    HttpRequestOptions options;
    options.method = 1;
    options.postText = "data";
    options.headers = "Content-Length: 4";
    EXPECT_EQ(HttpRequest(server.Url("/from"), options), "arrived");
    const RecordedRequest second = server.Requests().at(1);
    EXPECT_EQ(second.requestLine, "POST /to HTTP/1.1");
    EXPECT_EQ(second.body, "data");
    EXPECT_EQ(second.Header("Content-Length"), "4");
  }
}

TEST(HttpRedirect, NoRedirectReturnsTheRedirectItself) {
  RawHttpServer server(RedirectTo(302, "/to"));
  int code = 0;
  std::string headers;
  HttpRequestOptions options;
  options.noRedirect = true;
  options.statusCode = &code;
  options.responseHeaders = &headers;
  EXPECT_EQ(HttpRequest(server.Url("/from"), options), "moved");
  EXPECT_EQ(code, 302);
  EXPECT_EQ(headers.rfind("Location: /to", 0), 0u);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(HttpRedirect, EndlessLoopFailsAfterTenHops) {
  RawHttpServer server(RedirectTo(302, "/again"));
  int code = -1;
  HttpRequestOptions options;
  options.statusCode = &code;
  EXPECT_EQ(HttpRequest(server.Url("/again"), options), "");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(server.Requests().size(), 11u);
}

TEST(HttpRedirect, OtherSiteGetsNeitherCredentialsNorTheFirstHostLine) {
  RawHttpServer target([](const RecordedRequest&) { return MakeReply(200, "there"); });
  RawHttpServer origin(RedirectTo(302, target.Url("/to")));
  std::string cookies = "s=1";
  HttpRequestOptions options;
  options.cookies = &cookies;
  options.headers = "Host: 127.0.0.1:" + std::to_string(origin.port()) +
                    "\r\nAccDemoPageAuthToken: t1\r\nAuthorization: Bearer b\r\n"
                    "X-Auth-Token: x\r\nX-Keep: 1";
  options.completeHeaders = false;
  EXPECT_EQ(HttpRequest(origin.Url("/from"), options), "there");
  EXPECT_EQ(origin.Requests().at(0).Header("Cookie"), "s=1");
  EXPECT_EQ(origin.Requests().at(0).Header("AccDemoPageAuthToken"), "t1");
  EXPECT_EQ(target.Requests().at(0).headerLines,
            (Lines{"Host: 127.0.0.1:" + std::to_string(target.port()), "X-Keep: 1"}));
}

TEST(HttpRedirect, OnlyHttpAndHttpsAreFollowed) {
  RawHttpServer server(RedirectTo(302, "file:///etc/passwd"));
  int code = 0;
  HttpRequestOptions options;
  options.statusCode = &code;
  EXPECT_EQ(HttpRequest(server.Url("/from"), options), "moved");
  EXPECT_EQ(code, 302);
}

TEST(HttpProxy, AbsoluteUriWithBasicProxyCredentials) {
  RawHttpServer proxy([](const RecordedRequest&) { return MakeReply(200, "via proxy"); });
  struct Case {
    std::string user, password, authorization;
  };
  for (const Case& c : std::vector<Case>{{"user", "pass", "Basic dXNlcjpwYXNz"},
                                         {"\xD5\xC5", "p\xA1\xA1", "Basic 1cU6cKGh"},  // GBK bytes
                                         {"", "ignored", ""}}) {
    HttpRequestOptions options;
    options.proxy = "127.0.0.1:" + std::to_string(proxy.port());
    options.proxyUser = c.user;
    options.proxyPassword = c.password;
    options.completeHeaders = false;
    options.headers = "X: 1";
    EXPECT_EQ(HttpRequest("http://speech.example.invalid/api/x?y=1", options), "via proxy");
  }
  const std::vector<RecordedRequest> requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].requestLine, "GET http://speech.example.invalid/api/x?y=1 HTTP/1.1");
  EXPECT_EQ(requests[0].headerLines, (Lines{"Host: speech.example.invalid",
                                            "Proxy-Authorization: Basic dXNlcjpwYXNz", "X: 1"}));
  EXPECT_EQ(requests[1].Header("Proxy-Authorization"), "Basic 1cU6cKGh");
  EXPECT_EQ(requests[2].headerLines, (Lines{"Host: speech.example.invalid", "X: 1"}));
}

TEST(HttpProxy, CredentialTargetZeroAnswersTheServersChallenge) {
  RawHttpServer proxy([](const RecordedRequest& r) {
    if (r.Header("Authorization").empty())
      return MakeReply(401, "who?", {"WWW-Authenticate: Basic realm=\"r\""});
    return MakeReply(200, "welcome");
  });
  HttpRequestOptions options;
  options.proxy = "127.0.0.1:" + std::to_string(proxy.port());
  options.proxyUser = "user";
  options.proxyPassword = "pass";
  options.credentialTarget = 0;
  EXPECT_EQ(HttpRequest("http://speech.example.invalid/", options), "welcome");
  const std::vector<RecordedRequest> requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Header("Proxy-Authorization"), "");
  EXPECT_EQ(requests[1].Header("Authorization"), "Basic dXNlcjpwYXNz");
}

// A failed exchange: every output empty or 0; the cookie text keeps only its rewrite.
void ExpectFailure(const std::string& url, int timeoutSeconds) {
  int code = -1;
  std::string headers = "stale";
  std::string returned = "stale";
  std::string cookies = "Cookie: a=1";
  HttpRequestOptions options;
  options.statusCode = &code;
  options.responseHeaders = &headers;
  options.returnedCookies = &returned;
  options.cookies = &cookies;
  options.timeoutSeconds = timeoutSeconds;
  EXPECT_EQ(HttpRequest(url, options), "");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(headers, "");
  EXPECT_EQ(returned, "");
  EXPECT_EQ(cookies, " a=1");
}

TEST(HttpFailure, RefusedConnectionGivesEmptyOutputs) {
  // A port that is bound but not listening refuses connections, and stays ours meanwhile.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
  ExpectFailure("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/", 0);
  ::close(fd);
}

TEST(HttpFailure, SilentServerTimesOut) {
  RawHttpServer server([](const RecordedRequest&) { return RawReply{"", true}; });
  ExpectFailure(server.Url("/stall"), 1);
}

TEST(HttpFailure, ReplyCutOffMidBodyIsAFailure) {
  RawHttpServer server([](const RecordedRequest&) {
    return RawReply{"HTTP/1.1 200 OK\r\nSet-Cookie: a=2\r\nContent-Length: 10\r\n\r\nabc", false};
  });
  ExpectFailure(server.Url("/short"), 0);
}

TEST(HttpFailure, UnusableUrlGivesEmptyOutputs) {
  for (const char* url : {"", "not a url", "ftp://127.0.0.1/x", "file:///etc/hostname"})
    ExpectFailure(url, 0);
}

TEST(HttpTimeouts, SecondsBecomeMilliseconds) {
  struct Case {
    int seconds;
    long connectMs, stallMs;
  };
  for (const Case& c : std::vector<Case>{{0, 15000, 15000},
                                         {-5, 15000, 15000},
                                         {5, 5000, 5000},
                                         {1, 1000, 1000},
                                         {-1, 60000, 30000}}) {
    const RequestTimeouts t = TimeoutsFor(c.seconds);
    EXPECT_EQ(t.connectMs, c.connectMs) << c.seconds;
    EXPECT_EQ(t.stallMs, c.stallMs) << c.seconds;
  }
}

TEST(HttpTransfer, StallAfterPartOfTheBodyEndsTheExchange) {
  RawHttpServer server([](const RecordedRequest&) {
    return RawReply{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart", true};
  });
  HttpSession session;
  TransferRequest request;
  request.url = server.Url("/slow");
  request.stallTimeoutMs = 150;
  const TransferResult result = PerformTransfer(session, request);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.body, "");
  EXPECT_EQ(result.statusCode, 0);
}

TEST(HttpTransfer, BodyOverTheLimitFails) {
  const std::string big(2000, 'b');
  RawHttpServer server([&](const RecordedRequest& r) {
    if (r.Target() == "/declared") return MakeReply(200, big);
    // No Content-Length: the size shows only while reading.
    return RawReply{"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + big, false};
  });
  HttpSession session;
  for (const char* path : {"/declared", "/undeclared"}) {
    TransferRequest request;
    request.url = server.Url(path);
    request.maxBodyBytes = 1999;
    EXPECT_FALSE(PerformTransfer(session, request).ok) << path;
    request.maxBodyBytes = 2000;
    EXPECT_EQ(PerformTransfer(session, request).body, big) << path;
  }
}

TEST(HttpSessionReuse, EachRequestStartsFromFreshOptions) {
  RawHttpServer server(RedirectTo(302, "/to"));
  HttpSession session;
  HttpRequestOptions first;
  first.requestObject = &session;
  first.method = 1;
  first.noRedirect = true;
  first.postText = "x";
  EXPECT_EQ(HttpRequest(server.Url("/from"), first), "moved");
  HttpRequestOptions second;
  second.requestObject = &session;
  EXPECT_EQ(HttpRequest(server.Url("/from"), second), "arrived");
  const std::vector<RecordedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].requestLine, "GET /from HTTP/1.1");
  EXPECT_EQ(requests[1].body, "");
}

TEST(HttpConcurrency, ManyCallsAtOnce) {
  RawHttpServer server([](const RecordedRequest& r) { return MakeReply(200, r.Target()); });
  HttpSession shared;
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i) {
        const std::string path = "/t" + std::to_string(t) + "/" + std::to_string(i);
        HttpRequestOptions options;
        // Half the threads share one session, which serialises them.
        if (t % 2 == 0) options.requestObject = &shared;
        if (HttpRequest(server.Url(path), options) == path) ++good;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(good.load(), 40);
}

}  // namespace
}  // namespace lectoria

namespace lectoria {
namespace {

// A closing program sets the flag; the request must not wait out the server's silence.
TEST(HttpCancel, SettingTheFlagAbandonsAStalledExchange) {
  test::RawHttpServer server([](const test::RecordedRequest&) { return test::RawReply{"", true}; });
  std::atomic<bool> cancel{false};
  int code = -1;
  HttpRequestOptions options;
  options.timeoutSeconds = 30;
  options.statusCode = &code;
  options.cancel = &cancel;
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    cancel = true;
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(HttpRequest(server.Url("/stall"), options), "");
  closer.join();
  EXPECT_EQ(code, 0);
  // Far below the 30 s the time-out would have taken (a generous bound, not a speed goal).
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST(HttpCancel, AFlagSetBeforehandSendsNothingUseful) {
  test::RawHttpServer server([](const test::RecordedRequest&) {
    return test::RawReply{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false};
  });
  std::atomic<bool> cancel{true};
  HttpRequestOptions options;
  options.cancel = &cancel;
  EXPECT_EQ(HttpRequest(server.Url("/"), options), "");
  cancel = false;
  EXPECT_EQ(HttpRequest(server.Url("/"), options), "ok");
}

}  // namespace
}  // namespace lectoria
