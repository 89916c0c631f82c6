// Servers on 127.0.0.1 for the wire tests of the page fetchers.
//
// RawServer answers every request with bytes the test scripts (so that tests
// can send odd header forms, stall, or reset the connection) and records each
// raw request as it arrived, so that tests can check header lines and their
// order. TlsServer is an HTTPS server with the test certificate (signed by
// testdata/ca.pem) for the certificate and scheme-change tests.
#ifndef NOVEL_TESTS_WEB_WIRE_SERVERS_H_
#define NOVEL_TESTS_WEB_WIRE_SERVERS_H_

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

// The directory holding ca.pem, server.pem and server.key.
std::string test_data_path(std::string_view file);

struct RawReply {
  // Each piece is written, then the server pauses for its milliseconds.
  std::vector<std::pair<std::string, int>> pieces;
  bool reset = false;  // end with a TCP reset instead of a clean close
};

// "HTTP/1.1 <status_line>", the extra header lines (each ended by CR LF),
// Content-Length and "Connection: close", then the body.
RawReply http_reply(std::string_view status_line, std::string_view header_lines,
                    std::string_view body);

class RawServer {
 public:
  using Handler = std::function<RawReply(const std::string& request)>;
  explicit RawServer(Handler handler);
  ~RawServer();

  int port() const { return port_; }
  std::string url(std::string_view path) const;
  // The raw requests received so far, in order.
  std::vector<std::string> requests() const;

 private:
  void accept_loop();
  void serve(int socket);

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex lock_;
  std::vector<std::string> requests_;  // guarded by lock_
  std::vector<std::thread> workers_;   // guarded by lock_
  std::thread acceptor_;
};

class TlsServer {
 public:
  // Answers "/redirect" with a 302 to `redirect_location` and any other path
  // with the body "secure " + path.
  explicit TlsServer(std::string redirect_location = "");
  ~TlsServer();

  int port() const { return port_; }
  std::string url(std::string_view path) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
};

// The header lines of a raw request, without the request line, in order.
std::vector<std::string> request_header_lines(const std::string& request);
// The request line ("GET /p HTTP/1.1").
std::string request_line(const std::string& request);
// The bytes after the blank line.
std::string request_body(const std::string& request);

#endif  // NOVEL_TESTS_WEB_WIRE_SERVERS_H_
