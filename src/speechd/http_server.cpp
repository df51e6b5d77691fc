#include "speechd/http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>

#include <cstring>

#include "speechd/request_deadlines.h"

namespace lectoria::speechd {

namespace {

// A body arriving in chunks beyond the limit is read and dropped up to this much more, so that
// its sender still gets a 413 reply; past that the connection is closed.
constexpr std::size_t kMaxDiscardedBytes = 1 << 20;

// One request as it arrives.
struct RequestState {
  std::string rawUri;  // as sent, with any query
  bool headSeen = false;
  bool tooLarge = false;
  std::size_t discarded = 0;
  ServiceRequest request;
  std::string version;
};

// The rest of a streamed reply, handed out as libmicrohttpd asks for it.
struct StreamState {
  std::string pending;
  std::size_t offset = 0;
  std::shared_ptr<ReplyStream> stream;
  bool ended = false;
};

std::string AddressText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address == nullptr) return {};
  if (address->sa_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                sizeof text);
  } else if (address->sa_family == AF_INET6) {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                sizeof text);
  }
  return text;
}

int SocketOf(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
  return info != nullptr ? info->connect_fd : -1;
}

RequestDeadlines::Watch* WatchOf(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info != nullptr ? static_cast<RequestDeadlines::Watch*>(info->socket_context) : nullptr;
}

// True when the peer has closed its side or the connection broke. A client that gives up
// closes its socket; nothing it could still want is then being produced.
bool PeerGone(int fd) {
  pollfd entry{fd, POLLRDHUP, 0};
  return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  static_cast<ServiceRequest*>(cls)->headers.emplace_back(key, value != nullptr ? value : "");
  return MHD_YES;
}

ssize_t ReadStream(void* cls, std::uint64_t, char* buffer, std::size_t max) {
  auto* state = static_cast<StreamState*>(cls);
  while (state->offset == state->pending.size()) {
    if (state->ended) return MHD_CONTENT_READER_END_OF_STREAM;
    state->pending.clear();
    state->offset = 0;
    switch (state->stream->Next(state->pending)) {
      case ReplyStream::Step::kMore:
        break;
      case ReplyStream::Step::kEnd:
        state->ended = true;
        break;
      case ReplyStream::Step::kFailed:
        // Closing without the last chunk tells the client the reply is incomplete.
        return MHD_CONTENT_READER_END_WITH_ERROR;
    }
  }
  const std::size_t count = std::min(max, state->pending.size() - state->offset);
  std::memcpy(buffer, state->pending.data() + state->offset, count);
  state->offset += count;
  return static_cast<ssize_t>(count);
}

void FreeStream(void* cls) {
  delete static_cast<StreamState*>(cls);
}

MHD_Result Queue(MHD_Connection* connection, ServiceReply reply) {
  MHD_Response* response = nullptr;
  if (reply.stream) {
    auto* state = new StreamState{std::move(reply.body), 0, std::move(reply.stream), false};
    response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 64 * 1024, &ReadStream, state,
                                                 &FreeStream);
    if (response == nullptr) delete state;
  } else {
    response = MHD_create_response_from_buffer(reply.body.size(), reply.body.data(),
                                               MHD_RESPMEM_MUST_COPY);
  }
  if (response == nullptr) return MHD_NO;
  if (!reply.contentType.empty()) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.c_str());
  }
  if (!reply.contentEncoding.empty()) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_ENCODING,
                            reply.contentEncoding.c_str());
  }
  const MHD_Result queued =
      MHD_queue_response(connection, static_cast<unsigned int>(reply.status), response);
  MHD_destroy_response(response);
  return queued;
}

std::string RequestLine(const RequestState& state) {
  return state.request.method + " " + state.rawUri + " " + state.version;
}

}  // namespace

void RequestRecorder::Add(RecordedRequest request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
  while (requests_.size() > capacity_) requests_.pop_front();
}

std::vector<RecordedRequest> RequestRecorder::Requests() const {
  std::lock_guard lock(mutex_);
  return {requests_.begin(), requests_.end()};
}

void RequestRecorder::Clear() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

struct ServiceHttpServer::Glue {
  static void* RequestStarted(void*, const char* uri, MHD_Connection*) {
    auto* state = new RequestState;
    state->rawUri = uri != nullptr ? uri : "";
    return state;
  }

  static void RequestDone(void* cls, MHD_Connection* connection, void** context,
                          MHD_RequestTerminationCode) {
    delete static_cast<RequestState*>(*context);
    *context = nullptr;
    static_cast<ServiceHttpServer*>(cls)->deadlines_->ReplyDone(WatchOf(connection));
  }

  static void ConnectionEvent(void* cls, MHD_Connection* connection, void** socketContext,
                              MHD_ConnectionNotificationCode code) {
    RequestDeadlines& deadlines = *static_cast<ServiceHttpServer*>(cls)->deadlines_;
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      *socketContext = deadlines.Opened(SocketOf(connection));
    } else {
      deadlines.Closed(static_cast<RequestDeadlines::Watch*>(*socketContext));
      *socketContext = nullptr;
    }
  }

  static void Record(ServiceHttpServer& server, const RequestState& state) {
    if (server.recorder_ == nullptr) return;
    RecordedRequest recorded;
    recorded.requestLine = RequestLine(state);
    for (const auto& [name, value] : state.request.headers) {
      recorded.headerLines.push_back(name + ": " + value);
    }
    recorded.body = state.request.body;
    server.recorder_->Add(std::move(recorded));
  }

  static MHD_Result Answer(void* cls, MHD_Connection* connection, const char* url,
                           const char* method, const char* version, const char* upload,
                           std::size_t* uploadSize, void** context) {
    ServiceHttpServer& server = *static_cast<ServiceHttpServer*>(cls);
    if (*context == nullptr) *context = RequestStarted(nullptr, url, connection);
    RequestState& state = *static_cast<RequestState*>(*context);
    const std::size_t maxBody = server.handlers_.Options().maxBodyBytes;

    if (!state.headSeen) {
      state.headSeen = true;
      state.request.method = method;
      state.request.path = url;
      state.version = version;
      MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectHeader, &state.request);
      const MHD_ConnectionInfo* peer =
          MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
      if (peer != nullptr) state.request.clientAddress = AddressText(peer->client_addr);
      // A declared body above the limit is refused before it is read.
      const std::string declared = state.request.Header("Content-Length");
      if (!declared.empty() && declared.size() <= 19 &&
          declared.find_first_not_of("0123456789") == std::string::npos &&
          std::stoull(declared) > maxBody) {
        return Refuse(server, connection, state);
      }
      return MHD_YES;
    }
    if (*uploadSize > 0) {
      if (state.tooLarge || state.request.body.size() + *uploadSize > maxBody) {
        state.tooLarge = true;
        state.request.body.clear();
        state.discarded += *uploadSize;
        if (state.discarded > kMaxDiscardedBytes) return MHD_NO;  // closes the connection
      } else {
        state.request.body.append(upload, *uploadSize);
      }
      *uploadSize = 0;
      return MHD_YES;
    }

    server.deadlines_->RequestArrived(WatchOf(connection));
    if (state.tooLarge) return Refuse(server, connection, state);
    Record(server, state);
    ReplyOptions how;
    how.stream = true;
    const int fd = SocketOf(connection);
    how.clientGone = [fd] { return fd >= 0 && PeerGone(fd); };
    return Queue(connection, server.handlers_.Handle(state.request, how));
  }

  static MHD_Result Refuse(ServiceHttpServer& server, MHD_Connection* connection,
                           RequestState& state) {
    state.request.body.clear();
    Record(server, state);
    return Queue(
        connection,
        ErrorReply(413, "the body is larger than " +
                            std::to_string(server.handlers_.Options().maxBodyBytes) + " bytes"));
  }
};

ServiceHttpServer::ServiceHttpServer(RequestHandlers& handlers, RequestRecorder* recorder,
                                     TlsCredentials tls, ConnectionLimits limits)
    : handlers_(handlers),
      recorder_(recorder),
      tls_(std::move(tls)),
      limits_(limits),
      deadlines_(std::make_unique<RequestDeadlines>(limits.requestTimeout)) {}

ServiceHttpServer::~ServiceHttpServer() {
  Stop();
}

int ServiceHttpServer::Start(const std::string& address, int port, std::string& error) {
  if (daemon_ != nullptr) {
    error = "the server is already running";
    return 0;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 ||
      found == nullptr) {
    error = "cannot resolve the address " + address;
    return 0;
  }
  sockaddr_storage bindAddress{};
  std::memcpy(&bindAddress, found->ai_addr,
              std::min<std::size_t>(found->ai_addrlen, sizeof bindAddress));
  ::freeaddrinfo(found);

  unsigned int flags =
      MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL;
  if (bindAddress.ss_family == AF_INET6) flags |= MHD_USE_IPv6;
  const bool tls = !tls_.certificateChain.empty();
  if (tls) flags |= MHD_USE_TLS;
  const auto idleSeconds = static_cast<unsigned int>(
      std::max<std::chrono::seconds::rep>(limits_.idleTimeout.count(), 1));
  // The head is kept in the connection's memory pool beside the header index and the reply
  // head, so the pool is given room for twice the largest head.
  const std::size_t poolBytes = 2 * limits_.maxHeadBytes + 32 * 1024;

  // Writing to a connection the peer has closed must fail with EPIPE, not end the process.
  // The server's threads are started from this one and inherit its signal mask.
  sigset_t pipe, previous;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &previous);
  deadlines_->Start();
  daemon_ = MHD_start_daemon(
      flags, static_cast<std::uint16_t>(port), nullptr, nullptr, &Glue::Answer, this,
      MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&bindAddress), MHD_OPTION_CONNECTION_LIMIT,
      static_cast<unsigned int>(limits_.maxConnections), MHD_OPTION_PER_IP_CONNECTION_LIMIT,
      static_cast<unsigned int>(limits_.maxConnectionsPerAddress), MHD_OPTION_CONNECTION_TIMEOUT,
      idleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, poolBytes, MHD_OPTION_URI_LOG_CALLBACK,
      &Glue::RequestStarted, this, MHD_OPTION_NOTIFY_COMPLETED, &Glue::RequestDone, this,
      MHD_OPTION_NOTIFY_CONNECTION, &Glue::ConnectionEvent, this,
      tls ? MHD_OPTION_HTTPS_MEM_CERT : MHD_OPTION_END, tls_.certificateChain.c_str(),
      MHD_OPTION_HTTPS_MEM_KEY, tls_.privateKey.c_str(), MHD_OPTION_HTTPS_PRIORITIES,
      "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2", MHD_OPTION_END);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  const MHD_DaemonInfo* info =
      daemon_ != nullptr ? MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT) : nullptr;
  if (info == nullptr || info->port == 0) {
    Stop();
    deadlines_->Stop();
    error = "cannot listen on " + address + ":" + std::to_string(port) +
            (tls ? " with HTTPS (is the certificate usable?)" : "");
    return 0;
  }
  return info->port;
}

void ServiceHttpServer::Stop() {
  if (daemon_ == nullptr) return;
  // Closes the listening socket and every connection, and joins the connections' threads.
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
  deadlines_->Stop();
}

}  // namespace lectoria::speechd
