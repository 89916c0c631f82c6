#include "page_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

int listen_on_loopback(int* port) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 4096) != 0) {
    std::exit(1);
  }
  socklen_t size = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  *port = ntohs(address.sin_port);
  return listener;
}

// Reads and writes one connection, plain or through TLS.
class Connection {
 public:
  Connection(int socket, SSL_CTX* tls) : socket_(socket) {
    if (tls == nullptr) return;
    ssl_ = SSL_new(tls);
    SSL_set_fd(ssl_, socket_);
    if (SSL_accept(ssl_) != 1) open_ = false;
  }
  ~Connection() {
    if (ssl_ != nullptr) {
      SSL_shutdown(ssl_);
      SSL_free(ssl_);
    }
    close(socket_);
  }
  bool open() const { return open_; }
  int read(char* buffer, int size) {
    return ssl_ != nullptr ? SSL_read(ssl_, buffer, size)
                           : static_cast<int>(recv(socket_, buffer, size, 0));
  }
  bool write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      int size = static_cast<int>(bytes.size() - done);
      int sent = ssl_ != nullptr
                     ? SSL_write(ssl_, bytes.data() + done, size)
                     : static_cast<int>(send(socket_, bytes.data() + done, size, MSG_NOSIGNAL));
      if (sent <= 0) return false;
      done += static_cast<size_t>(sent);
    }
    return true;
  }

 private:
  int socket_;
  SSL* ssl_ = nullptr;
  bool open_ = true;
};

void serve(int socket, SSL_CTX* tls, const std::string& reply, int delay_ms) {
  int yes = 1;
  setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  Connection connection(socket, tls);
  std::string pending;
  char buffer[8192];
  while (connection.open()) {
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
      int got = connection.read(buffer, sizeof buffer);
      if (got <= 0) return;
      pending.append(buffer, static_cast<size_t>(got));
    }
    pending.erase(0, end + 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    if (!connection.write(reply)) return;
  }
}

[[noreturn]] void accept_forever(int listener, SSL_CTX* tls, const std::string& reply,
                                 int delay_ms) {
  for (;;) {
    int socket = accept(listener, nullptr, nullptr);
    if (socket < 0) continue;
    // The child process is killed when the benchmark ends; nothing joins.
    std::thread(serve, socket, tls, std::cref(reply), delay_ms).detach();
  }
}

}  // namespace

PageServerPorts start_page_server(const std::string& page, int delay_ms,
                                  const std::string& certificate, const std::string& key,
                                  int* child) {
  PageServerPorts ports;
  int http = listen_on_loopback(&ports.http);
  int https = listen_on_loopback(&ports.https);
  *child = fork();
  if (*child != 0) {
    close(http);
    close(https);
    return ports;
  }
  SSL_CTX* tls = SSL_CTX_new(TLS_server_method());
  if (SSL_CTX_use_certificate_file(tls, certificate.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_use_PrivateKey_file(tls, key.c_str(), SSL_FILETYPE_PEM) != 1) {
    std::_Exit(1);
  }
  static const std::string reply =
      "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
      "Content-Length: " +
      std::to_string(page.size()) + "\r\n\r\n" + page;
  std::thread(accept_forever, https, tls, std::cref(reply), delay_ms).detach();
  accept_forever(http, nullptr, reply, delay_ms);
}
