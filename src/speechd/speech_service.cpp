#include "speechd/speech_service.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <signal.h>

#include <system_error>

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

SSL_CTX* MakeTlsContext(const std::string& certFile, const std::string& keyFile,
                        std::string& error) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (context == nullptr) {
    error = OpenSslError("cannot create a TLS context");
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_mode(context, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if (SSL_CTX_use_certificate_chain_file(context, certFile.c_str()) != 1) {
    error = OpenSslError("cannot load the certificate " + certFile);
  } else if (SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
    error = OpenSslError("cannot load the private key " + keyFile);
  } else if (SSL_CTX_check_private_key(context) != 1) {
    error = OpenSslError("the private key does not match the certificate");
  } else {
    return context;
  }
  SSL_CTX_free(context);
  return nullptr;
}

}  // namespace

SpeechService::SpeechService(SpeechServiceOptions options)
    : options_(std::move(options)),
      handlers_(std::make_unique<RequestHandlers>(options_.handlers)),
      recorder_(std::make_unique<RequestRecorder>(options_.maxRecordedRequests)) {}

SpeechService::~SpeechService() {
  Stop();
  if (tls_ != nullptr) SSL_CTX_free(static_cast<SSL_CTX*>(tls_));
}

bool SpeechService::UsesTls() const {
  return tls_ != nullptr;
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
  if (!options_.certFile.empty() && tls_ == nullptr) {
    tls_ = MakeTlsContext(options_.certFile, options_.keyFile, lastError_);
    if (tls_ == nullptr) return 0;
  }

  ConnectionLimits limits;
  limits.readTimeoutMs = static_cast<int>(options_.readTimeout.count());
  limits.writeTimeoutMs = static_cast<int>(options_.readTimeout.count());
  limits.keepAliveTimeoutMs = static_cast<int>(options_.keepAliveTimeout.count());
  server_ = std::make_unique<ServiceHttpServer>(
      *handlers_, options_.recordRequests ? recorder_.get() : nullptr, static_cast<SSL_CTX*>(tls_),
      limits, std::max<std::size_t>(options_.threads, 1));

  const int bound = (port == 0) ? server_->bind_to_any_port(address)
                                : (server_->bind_to_port(address, port) ? port : -1);
  if (bound <= 0) {
    lastError_ = "cannot listen on " + address + ":" + std::to_string(port);
    server_.reset();
    return 0;
  }
  handlers_->SetCancelled(false);
  listenerDone_.store(false);
  try {
    listener_ = std::thread([this, server = server_.get()] {
      // Writing to a connection the peer has closed must fail with EPIPE, not end the
      // process. The worker threads are started from this thread and inherit the mask.
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
      server->listen_after_bind();
      listenerDone_.store(true);
    });
  } catch (const std::system_error& error) {
    lastError_ = std::string("cannot start a thread: ") + error.what();
    listenerDone_.store(true);
    server_.reset();
    return 0;
  }
  port_ = bound;
  return bound;
}

void SpeechService::Stop() {
  if (!server_) return;
  server_->BeginStop();
  handlers_->SetCancelled(true);
  // stop() only acts once the accept loop has begun, so wait for that (or for its end).
  while (!server_->is_running() && !listenerDone_.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // stop() closes the listening socket; the accept loop then ends and joins its workers,
  // which finish quickly now that waits are cut short.
  server_->stop();
  if (listener_.joinable()) listener_.join();
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
