#include "web/wire_servers.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

std::string test_data_path(std::string_view file) {
  return std::string(NOVEL_WEB_TEST_DATA) + "/" + std::string(file);
}

RawReply http_reply(std::string_view status_line, std::string_view header_lines,
                    std::string_view body) {
  std::string head = "HTTP/1.1 " + std::string(status_line) + "\r\n" + std::string(header_lines) +
                     "Content-Length: " + std::to_string(body.size()) +
                     "\r\nConnection: close\r\n\r\n";
  return RawReply{{{head + std::string(body), 0}}, false};
}

namespace {

// Reads one request: the head, then as many body bytes as Content-Length says.
// Empty when the peer went away or the server is stopping.
std::string read_request(int socket, const std::atomic<bool>& stopping) {
  std::string data;
  size_t needed = std::string::npos;
  char buffer[16384];
  while (!stopping && data.size() < needed) {
    pollfd wait{socket, POLLIN, 0};
    if (poll(&wait, 1, 50) <= 0) continue;
    ssize_t got = recv(socket, buffer, sizeof buffer, 0);
    if (got <= 0) return "";
    data.append(buffer, static_cast<size_t>(got));
    size_t head_end = data.find("\r\n\r\n");
    if (needed == std::string::npos && head_end != std::string::npos) {
      size_t length = 0;
      for (const std::string& line : request_header_lines(data)) {
        if (strncasecmp(line.c_str(), "Content-Length:", 15) == 0)
          length = std::stoul(line.substr(15));
      }
      needed = head_end + 4 + length;
    }
  }
  return stopping ? "" : data;
}

}  // namespace

RawServer::RawServer(Handler handler) : handler_(std::move(handler)) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener_, 64);
  socklen_t size = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

RawServer::~RawServer() {
  stopping_ = true;
  acceptor_.join();
  close(listener_);
  std::lock_guard<std::mutex> guard(lock_);
  for (std::thread& worker : workers_) worker.join();
}

std::string RawServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> RawServer::requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

void RawServer::accept_loop() {
  while (!stopping_) {
    pollfd wait{listener_, POLLIN, 0};
    if (poll(&wait, 1, 50) <= 0) continue;
    int socket = accept(listener_, nullptr, nullptr);
    if (socket < 0) continue;
    std::lock_guard<std::mutex> guard(lock_);
    workers_.emplace_back([this, socket] { serve(socket); });
  }
}

void RawServer::serve(int socket) {
  std::string request = read_request(socket, stopping_);
  if (!request.empty()) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      requests_.push_back(request);
    }
    RawReply reply = handler_(request);
    for (const auto& [bytes, pause_ms] : reply.pieces) {
      if (send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) break;
      auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(pause_ms);
      while (!stopping_ && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    if (reply.reset) {
      linger abort{1, 0};
      setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    } else {
      shutdown(socket, SHUT_WR);
    }
  }
  close(socket);
}

struct TlsServer::Impl {
  httplib::SSLServer server{test_data_path("server.pem").c_str(),
                            test_data_path("server.key").c_str()};
  std::thread runner;
};

TlsServer::TlsServer(std::string redirect_location) : impl_(std::make_unique<Impl>()) {
  impl_->server.Get(
      ".*", [redirect_location](const httplib::Request& request, httplib::Response& response) {
        if (request.path == "/redirect") {
          response.set_redirect(redirect_location);
        } else {
          response.set_content("secure " + request.path, "text/plain");
        }
      });
  // One request a connection, so that stop() need not wait out an idle one.
  impl_->server.set_keep_alive_max_count(1);
  port_ = impl_->server.bind_to_any_port("127.0.0.1");
  impl_->runner = std::thread([this] { impl_->server.listen_after_bind(); });
  while (!impl_->server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TlsServer::~TlsServer() {
  impl_->server.stop();
  impl_->runner.join();
}

std::string TlsServer::url(std::string_view path) const {
  return "https://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> request_header_lines(const std::string& request) {
  std::vector<std::string> lines;
  size_t start = request.find("\r\n");
  while (start != std::string::npos) {
    start += 2;
    size_t end = request.find("\r\n", start);
    if (end == std::string::npos || end == start) break;
    lines.push_back(request.substr(start, end - start));
    start = end;
  }
  return lines;
}

std::string request_line(const std::string& request) {
  return request.substr(0, request.find("\r\n"));
}

std::string request_body(const std::string& request) {
  size_t head_end = request.find("\r\n\r\n");
  return head_end == std::string::npos ? "" : request.substr(head_end + 4);
}
