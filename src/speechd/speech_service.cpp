#include "speechd/speech_service.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <fstream>
#include <sstream>

#include "speechd/http_server.h"

namespace lectoria::speechd {

namespace {

std::string OpenSslError(const std::string& what) {
  const unsigned long code = ERR_get_error();
  char text[256] = {};
  if (code != 0) ERR_error_string_n(code, text, sizeof text);
  ERR_clear_error();
  return what + (code != 0 ? std::string(": ") + text : std::string());
}

// Loads the certificate chain and the key once with OpenSSL, which names what is wrong with
// them more precisely than the server's own start-up would.
bool CheckTlsFiles(const std::string& certFile, const std::string& keyFile, std::string& error) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (context == nullptr) {
    error = OpenSslError("cannot check the certificate");
    return false;
  }
  bool ok = false;
  if (SSL_CTX_use_certificate_chain_file(context, certFile.c_str()) != 1) {
    error = OpenSslError("cannot load the certificate " + certFile);
  } else if (SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
    error = OpenSslError("cannot load the private key " + keyFile);
  } else if (SSL_CTX_check_private_key(context) != 1) {
    error = OpenSslError("the private key does not match the certificate");
  } else {
    ok = true;
  }
  SSL_CTX_free(context);
  return ok;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

SpeechService::SpeechService(SpeechServiceOptions options)
    : options_(std::move(options)),
      handlers_(std::make_unique<RequestHandlers>(options_.handlers)),
      recorder_(std::make_unique<RequestRecorder>(options_.maxRecordedRequests)) {}

SpeechService::~SpeechService() {
  Stop();
}

bool SpeechService::UsesTls() const {
  return !certificateChain_.empty();
}

int SpeechService::Start(const std::string& address, int port) {
  if (port_ != 0) {
    lastError_ = "the service is already running";
    return 0;
  }
  lastError_.clear();
  if (port < 0 || port > 65535) {
    lastError_ = "the port must be between 0 and 65535";
    return 0;
  }
  if (options_.certFile.empty() != options_.keyFile.empty()) {
    lastError_ = "HTTPS needs both a certificate and a key";
    return 0;
  }
  if (!options_.certFile.empty() && certificateChain_.empty()) {
    if (!CheckTlsFiles(options_.certFile, options_.keyFile, lastError_)) return 0;
    certificateChain_ = ReadWholeFile(options_.certFile);
    privateKey_ = ReadWholeFile(options_.keyFile);
  }

  ConnectionLimits limits;
  limits.requestTimeout = options_.requestTimeout;
  limits.idleTimeout = options_.keepAliveTimeout;
  limits.maxConnections = std::max<std::size_t>(options_.maxConnections, 1);
  limits.maxConnectionsPerAddress = std::max<std::size_t>(options_.maxConnectionsPerAddress, 1);
  server_ = std::make_unique<ServiceHttpServer>(
      *handlers_, options_.recordRequests ? recorder_.get() : nullptr,
      TlsCredentials{certificateChain_, privateKey_}, limits);
  handlers_->SetCancelled(false);
  const int bound = server_->Start(address, port, lastError_);
  if (bound == 0) {
    server_.reset();
    return 0;
  }
  port_ = bound;
  return bound;
}

void SpeechService::Stop() {
  if (!server_) return;
  // Syntheses end at their next check, so the connections' threads can be joined at once.
  handlers_->SetCancelled(true);
  server_->Stop();
  server_.reset();
  port_ = 0;
}

std::vector<RecordedRequest> SpeechService::RecordedRequests() const {
  return recorder_->Requests();
}

void SpeechService::ClearRecordedRequests() {
  recorder_->Clear();
}

}  // namespace lectoria::speechd
