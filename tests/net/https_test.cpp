// HTTPS: certificates are verified unless the caller opts out or names its own CA file.
#include <httplib.h>

#include <gtest/gtest.h>

#include <thread>

#include "net/http_request.h"
#include "net/support/raw_http_server.h"
#include "net/support/tls_test_cert.h"

namespace lectoria {
namespace {

// cpp-httplib's TLS server on 127.0.0.1 with a certificate made for this test.
class HttpsServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(cert_.ok());
    server_ =
        std::make_unique<httplib::SSLServer>(cert_.certFile().c_str(), cert_.keyFile().c_str());
    ASSERT_TRUE(server_->is_valid());
    server_->Get("/secure", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("secret", "text/plain");
    });
    server_->Get("/down", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect(plain_.Url("/plain"));
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // A stop() before the server loop runs would be lost and TearDown's join would hang.
    for (int i = 0; i < 5000 && !server_->is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  void TearDown() override {
    if (server_) server_->stop();
    if (thread_.joinable()) thread_.join();
  }

  std::string Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
  }

  test::TlsTestCert cert_;
  test::RawHttpServer plain_{
      [](const test::RecordedRequest&) { return test::MakeReply(200, "plain"); }};
  std::unique_ptr<httplib::SSLServer> server_;
  std::thread thread_;
  int port_ = 0;
};

TEST_F(HttpsServerTest, UnknownCertificateIsRefusedByDefault) {
  int status = -1;
  HttpRequestOptions options;
  options.statusCode = &status;
  EXPECT_EQ(HttpRequest(Url("/secure"), options), "");
  EXPECT_EQ(status, 0);
}

TEST_F(HttpsServerTest, CertificateFromTheCaFileIsTrusted) {
  int status = 0;
  HttpRequestOptions options;
  options.statusCode = &status;
  options.caFile = cert_.certFile();
  EXPECT_EQ(HttpRequest(Url("/secure"), options), "secret");
  EXPECT_EQ(status, 200);
}

TEST_F(HttpsServerTest, ExplicitOptOutAcceptsAnyCertificate) {
  HttpRequestOptions options;
  options.ignoreCertificateErrors = true;
  EXPECT_EQ(HttpRequest(Url("/secure"), options), "secret");
}

TEST_F(HttpsServerTest, RedirectFromHttpsToPlainHttpIsNotFollowed) {
  int status = 0;
  HttpRequestOptions options;
  options.caFile = cert_.certFile();
  options.statusCode = &status;
  HttpRequest(Url("/down"), options);
  EXPECT_EQ(status, 302);
  EXPECT_TRUE(plain_.Requests().empty());
}

}  // namespace
}  // namespace lectoria
