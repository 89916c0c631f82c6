// A small HTTP/1.1 server on epoll for the demo novel site and for tests.
//
// One or more event-loop threads share one listening socket; each connection
// lives on one loop. A handler turns every request into a reply on the loop
// thread, and the reply is held back for the configured latency before it is
// sent (a timer heap, so thousands of delayed replies cost no threads).
// Keep-alive and pipelined requests are served in order, one at a time.
// How a reply leaves the socket is part of the reply (Delivery), so faulty
// deliveries such as a reset connection are served by the same loop; all
// socket reads and writes go through Connection's two transfer calls, the
// place where TLS sits when the server speaks https.
//
// start() and stop() are called from one owning thread; the handler runs on
// the loop threads and must be safe to call from several at once.
#ifndef NOVEL_DEMO_SITE_HTTP_SERVER_H_
#define NOVEL_DEMO_SITE_HTTP_SERVER_H_

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct ServedRequest {
  std::string method;
  std::string target;  // path and query as sent
  std::string host;    // the Host header, empty when missing
};

enum class Delivery {
  kNormal,
  kResetBeforeReply,  // close with a TCP reset instead of answering
  kResetMidBody,      // send the head and the first half of the body, then reset
  kCloseMidBody,      // send the head and the first half of the body, then close
  kStall,             // never answer; the connection stays open until the client leaves
};

struct ServedReply {
  int status = 200;
  std::string content_type = "text/html; charset=utf-8";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // Bytes of filler (white space) sent after `body` and counted in its
  // Content-Length; streamed in small chunks, never held whole.
  size_t padding = 0;
  Delivery delivery = Delivery::kNormal;
};

using RequestHandler = std::function<ServedReply(const ServedRequest&)>;

struct ServerOptions {
  int port = 0;        // 0: the system picks a free port
  int latency_ms = 0;  // added before every reply
  int loop_count = 1;  // event-loop threads
  bool https = false;  // TLS with a self-signed certificate (demo_site/tls_context.h)
};

class EventLoop;
class TlsContext;

class HttpServer {
 public:
  HttpServer(ServerOptions options, RequestHandler handler);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds 127.0.0.1, listens and starts the loops. False with `error` set
  // when the socket cannot be set up.
  bool start(std::string* error);
  // The bound port; valid after a successful start().
  int port() const { return port_; }
  // The TLS context of an https server after start(); null otherwise.
  const TlsContext* tls() const { return tls_.get(); }
  // Stops the loops and closes every connection. Safe to call twice.
  void stop();

 private:
  ServerOptions options_;
  RequestHandler handler_;
  std::unique_ptr<TlsContext> tls_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::vector<std::unique_ptr<EventLoop>> loops_;
  std::vector<std::thread> threads_;
};

#endif  // NOVEL_DEMO_SITE_HTTP_SERVER_H_
