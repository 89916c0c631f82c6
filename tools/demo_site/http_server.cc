#include "demo_site/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <queue>
#include <unordered_map>

#include "demo_site/http_wire.h"
#include "demo_site/tls_context.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kListenBacklog = 4096;
constexpr size_t kReadChunk = 16 * 1024;
constexpr std::chrono::milliseconds kAcceptPause{50};
constexpr size_t kPaddingChunk = 64 * 1024;
constexpr size_t kNoCut = static_cast<size_t>(-1);

std::string system_error(const char* what) { return std::string(what) + ": " + strerror(errno); }

struct SslFree {
  void operator()(SSL* tls) const { SSL_free(tls); }
};

void close_with_reset(int fd) {
  const linger abort_on_close{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
  close(fd);
}

}  // namespace

// One epoll loop with its connections and its timer heap of held-back replies.
class EventLoop {
 public:
  // `tls` is null for plain HTTP.
  EventLoop(int listen_fd, const ServerOptions& options, const RequestHandler& handler,
            SSL_CTX* tls)
      : listen_fd_(listen_fd), options_(options), handler_(handler), tls_(tls) {}

  ~EventLoop() {
    for (auto& [fd, connection] : connections_) close(fd);
    if (wake_fd_ >= 0) close(wake_fd_);
    if (epoll_fd_ >= 0) close(epoll_fd_);
  }

  bool init(std::string* error) {
    epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
    wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epoll_fd_ < 0 || wake_fd_ < 0) {
      *error = system_error("epoll");
      return false;
    }
    epoll_event listen_event{};
    listen_event.events = EPOLLIN | EPOLLEXCLUSIVE;
    listen_event.data.fd = listen_fd_;
    epoll_event wake_event{};
    wake_event.events = EPOLLIN;
    wake_event.data.fd = wake_fd_;
    if (epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, listen_fd_, &listen_event) != 0 ||
        epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &wake_event) != 0) {
      *error = system_error("epoll_ctl");
      return false;
    }
    return true;
  }

  void request_stop() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wake_fd_, &one, sizeof one);
  }

  void run() {
    epoll_event events[256];
    for (;;) {
      const int ready = epoll_wait(epoll_fd_, events, 256, next_timeout_ms());
      if (ready < 0 && errno != EINTR) return;
      for (int i = 0; i < ready; ++i) {
        const int fd = events[i].data.fd;
        if (fd == wake_fd_) return;
        if (fd == listen_fd_) {
          accept_all();
        } else {
          on_socket_event(fd, events[i].events);
        }
      }
      release_due_replies();
      resume_accepting_when_due();
    }
  }

 private:
  enum class Phase { kReading, kHeld, kWriting };

  struct Connection {
    uint64_t serial = 0;
    std::unique_ptr<SSL, SslFree> tls;
    Phase phase = Phase::kReading;
    std::string in;
    std::string out;
    size_t out_offset = 0;
    size_t cut_at = kNoCut;   // offset in `out` where a broken delivery stops
    size_t padding_left = 0;  // filler still to send after `out`
    size_t body_to_skip = 0;
    bool close_after = false;
    Delivery delivery = Delivery::kNormal;
  };

  struct HeldReply {
    Clock::time_point due;
    int fd;
    uint64_t serial;
    bool operator>(const HeldReply& other) const { return due > other.due; }
  };

  // The two transfer calls: the only places that touch a connection's bytes.
  // Over TLS a call that must wait for the socket fails with EAGAIN, as a
  // plain non-blocking call does.
  ssize_t receive_some(int fd, Connection& connection, char* buffer, size_t size) {
    if (!connection.tls) return recv(fd, buffer, size, 0);
    const int got = SSL_read(connection.tls.get(), buffer, static_cast<int>(size));
    return got > 0 ? got : tls_failure(connection, got);
  }
  ssize_t send_some(int fd, Connection& connection, const char* data, size_t size) {
    if (!connection.tls) return send(fd, data, size, MSG_NOSIGNAL);
    const int sent = SSL_write(connection.tls.get(), data, static_cast<int>(size));
    return sent > 0 ? sent : tls_failure(connection, sent);
  }

  static ssize_t tls_failure(Connection& connection, int result) {
    switch (SSL_get_error(connection.tls.get(), result)) {
      case SSL_ERROR_WANT_READ:
      case SSL_ERROR_WANT_WRITE:
        errno = EAGAIN;
        return -1;
      case SSL_ERROR_ZERO_RETURN:
        return 0;
      default:
        errno = ECONNRESET;
        return -1;
    }
  }

  int next_timeout_ms() const {
    if (held_.empty() && !accept_paused_) return -1;
    Clock::time_point next = accept_paused_ ? accept_resumes_ : held_.top().due;
    if (!held_.empty() && held_.top().due < next) next = held_.top().due;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
    return wait.count() < 0 ? 0 : static_cast<int>(wait.count());
  }

  // Out of descriptors, the listening socket stays readable and would wake
  // the loop at once, again and again; it is left out of the loop for a
  // moment instead, while connections close.
  void pause_accepting() {
    epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, listen_fd_, nullptr);
    accept_paused_ = true;
    accept_resumes_ = Clock::now() + kAcceptPause;
  }

  void resume_accepting_when_due() {
    if (!accept_paused_ || Clock::now() < accept_resumes_) return;
    epoll_event listen_event{};
    listen_event.events = EPOLLIN | EPOLLEXCLUSIVE;
    listen_event.data.fd = listen_fd_;
    epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, listen_fd_, &listen_event);
    accept_paused_ = false;
  }

  void accept_all() {
    for (;;) {
      const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EMFILE || errno == ENFILE) pause_accepting();
        return;
      }
      epoll_event event{};
      event.events = EPOLLIN;
      event.data.fd = fd;
      if (epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &event) != 0) {
        close(fd);
        continue;
      }
      Connection& connection = connections_[fd];
      connection = Connection();
      connection.serial = ++serial_;
      if (tls_ != nullptr) {
        connection.tls.reset(SSL_new(tls_));
        if (!connection.tls || SSL_set_fd(connection.tls.get(), fd) != 1) {
          drop(fd, false);
          continue;
        }
        SSL_set_accept_state(connection.tls.get());
      }
    }
  }

  void watch(int fd, uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, fd, &event);
  }

  void drop(int fd, bool reset) {
    epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, fd, nullptr);
    auto found = connections_.find(fd);
    if (!reset && found != connections_.end() && found->second.tls) {
      SSL_shutdown(found->second.tls.get());  // one try; the socket closes either way
    }
    connections_.erase(fd);
    if (reset) {
      close_with_reset(fd);
    } else {
      close(fd);
    }
  }

  void on_socket_event(int fd, uint32_t events) {
    auto found = connections_.find(fd);
    if (found == connections_.end()) return;
    Connection& connection = found->second;
    if (connection.phase == Phase::kWriting && (events & (EPOLLOUT | EPOLLERR | EPOLLHUP))) {
      write_out(fd, connection);
    } else if (connection.phase == Phase::kReading) {
      read_in(fd, connection);
    } else if (events & (EPOLLERR | EPOLLHUP | EPOLLRDHUP)) {
      drop(fd, false);
    }
  }

  void read_in(int fd, Connection& connection) {
    char buffer[kReadChunk];
    ssize_t got = receive_some(fd, connection, buffer, sizeof buffer);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
      drop(fd, false);
      return;
    }
    // TLS may hold decrypted bytes the socket no longer signals.
    while (got > 0) {
      connection.in.append(buffer, static_cast<size_t>(got));
      got = connection.tls && SSL_pending(connection.tls.get()) > 0
                ? receive_some(fd, connection, buffer, sizeof buffer)
                : 0;
    }
    serve_next(fd, connection);
  }

  // Takes the next complete request off the input and holds its reply back
  // for the latency; pipelined requests wait their turn in the input.
  void serve_next(int fd, Connection& connection) {
    if (connection.body_to_skip > 0) {
      const size_t skipped = std::min(connection.body_to_skip, connection.in.size());
      connection.in.erase(0, skipped);
      connection.body_to_skip -= skipped;
      if (connection.body_to_skip > 0) return;
    }
    RequestHead head;
    const HeadStatus status = parse_request_head(connection.in, &head);
    if (status == HeadStatus::kIncomplete) return;
    ServedReply reply;
    bool head_only = false;
    if (status == HeadStatus::kComplete) {
      connection.in.erase(0, head.head_size);
      connection.body_to_skip = head.body_size;
      head_only = head.request.method == "HEAD";
      reply = handler_(head.request);
      connection.close_after = !head.keep_alive;
    } else {
      reply.status = status == HeadStatus::kTooLarge ? 431 : 400;
      reply.body = "bad request\n";
      reply.content_type = "text/plain";
      connection.close_after = true;
    }
    connection.delivery = reply.delivery;
    connection.out = format_reply(reply, !connection.close_after, head_only);
    connection.out_offset = 0;
    connection.padding_left = head_only ? 0 : reply.padding;
    connection.cut_at = kNoCut;
    if (!head_only &&
        (reply.delivery == Delivery::kResetMidBody || reply.delivery == Delivery::kCloseMidBody)) {
      connection.cut_at = connection.out.size() - (reply.body.size() - reply.body.size() / 2);
      connection.padding_left = 0;
    }
    if (connection.body_to_skip > 0) {
      const size_t skipped = std::min(connection.body_to_skip, connection.in.size());
      connection.in.erase(0, skipped);
      connection.body_to_skip -= skipped;
    }
    connection.phase = Phase::kHeld;
    watch(fd, 0);
    if (options_.latency_ms > 0) {
      held_.push(
          {Clock::now() + std::chrono::milliseconds(options_.latency_ms), fd, connection.serial});
    } else {
      release(fd, connection);
    }
  }

  void release_due_replies() {
    const Clock::time_point now = Clock::now();
    while (!held_.empty() && held_.top().due <= now) {
      const HeldReply due = held_.top();
      held_.pop();
      auto found = connections_.find(due.fd);
      if (found != connections_.end() && found->second.serial == due.serial) {
        release(due.fd, found->second);
      }
    }
  }

  void release(int fd, Connection& connection) {
    if (connection.delivery == Delivery::kResetBeforeReply) {
      drop(fd, true);
      return;
    }
    if (connection.delivery == Delivery::kStall) {
      watch(fd, EPOLLRDHUP);  // only to notice the client leaving
      return;
    }
    connection.phase = Phase::kWriting;
    write_out(fd, connection);
  }

  // Sends what is left of `out`, then the padding a chunk at a time, so a
  // reply of any size costs one chunk of memory.
  void write_out(int fd, Connection& connection) {
    for (;;) {
      if (!send_pending(fd, connection)) return;
      if (connection.padding_left == 0) break;
      const size_t chunk = std::min(connection.padding_left, kPaddingChunk);
      connection.out.assign(chunk, ' ');
      connection.out.back() = '\n';
      connection.out_offset = 0;
      connection.padding_left -= chunk;
    }
    if (connection.close_after) {
      drop(fd, false);
      return;
    }
    connection.out.clear();
    connection.out.shrink_to_fit();
    connection.phase = Phase::kReading;
    watch(fd, EPOLLIN);
    serve_next(fd, connection);
  }

  // Sends `out` up to its end or its cut; false when the connection is gone
  // or must wait to be writable again.
  bool send_pending(int fd, Connection& connection) {
    while (connection.out_offset < connection.out.size()) {
      if (connection.out_offset >= connection.cut_at) {
        drop(fd, connection.delivery == Delivery::kResetMidBody);
        return false;
      }
      const size_t end = std::min(connection.out.size(), connection.cut_at);
      const ssize_t sent = send_some(fd, connection, connection.out.data() + connection.out_offset,
                                     end - connection.out_offset);
      if (sent < 0 && errno == EAGAIN) {
        watch(fd, EPOLLOUT);
        return false;
      }
      if (sent < 0 && errno == EINTR) continue;
      if (sent <= 0) {
        drop(fd, false);
        return false;
      }
      connection.out_offset += static_cast<size_t>(sent);
    }
    return true;
  }

  const int listen_fd_;
  const ServerOptions options_;
  const RequestHandler& handler_;
  SSL_CTX* const tls_;
  int epoll_fd_ = -1;
  int wake_fd_ = -1;
  uint64_t serial_ = 0;
  bool accept_paused_ = false;
  Clock::time_point accept_resumes_;
  std::unordered_map<int, Connection> connections_;
  std::priority_queue<HeldReply, std::vector<HeldReply>, std::greater<>> held_;
};

HttpServer::HttpServer(ServerOptions options, RequestHandler handler)
    : options_(options), handler_(std::move(handler)) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::start(std::string* error) {
  if (options_.https) {
    tls_ = TlsContext::self_signed(error);
    if (!tls_) return false;
  }
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) {
    *error = system_error("socket");
    return false;
  }
  const int on = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(options_.port));
  socklen_t length = sizeof address;
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_fd_, kListenBacklog) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    *error = system_error("bind/listen");
    stop();
    return false;
  }
  port_ = ntohs(address.sin_port);

  const int loop_count = options_.loop_count < 1 ? 1 : options_.loop_count;
  for (int i = 0; i < loop_count; ++i) {
    auto loop = std::make_unique<EventLoop>(listen_fd_, options_, handler_,
                                            tls_ ? tls_->context() : nullptr);
    if (!loop->init(error)) {
      stop();
      return false;
    }
    loops_.push_back(std::move(loop));
  }
  for (auto& loop : loops_) threads_.emplace_back([raw = loop.get()] { raw->run(); });
  return true;
}

void HttpServer::stop() {
  for (auto& loop : loops_) loop->request_stop();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  loops_.clear();
  if (listen_fd_ >= 0) close(listen_fd_);
  listen_fd_ = -1;
}
