// A demo book served on 127.0.0.1 for the app's end-to-end tests, with the
// addresses and patterns a user would type for it, and a scratch directory
// for the exported file.
#ifndef NOVEL_TESTS_APP_SERVED_BOOK_H_
#define NOVEL_TESTS_APP_SERVED_BOOK_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "demo_site/demo_site.h"
#include "demo_site/http_server.h"

class ServedBook {
 public:
  ServedBook(const SiteOptions& site, const ServerOptions& server = {})
      : site_(std::make_unique<DemoSite>(site)),
        server_(std::make_unique<HttpServer>(server, site_->handler())) {
    std::string error;
    started_ = server_->start(&error);
    EXPECT_TRUE(started_) << error;
    host_ = "127.0.0.1:" + std::to_string(server_->port());
    static std::atomic<int> serial{0};
    directory_ = std::filesystem::temp_directory_path() /
                 ("app-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(directory_);
  }
  ~ServedBook() {
    server_->stop();
    std::filesystem::remove_all(directory_);
  }

  const DemoSite& site() const { return *site_; }
  std::string catalogue() const { return catalogue_address(server_->port()); }
  // The window's default patterns with the demo's host in place of the site's.
  std::string match_pattern() const { return "<a href=\"//" + host_ + "/chapter/(.*?)//"; }
  std::string filter_pattern() const { return host_ + "/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+"; }
  std::string directory() const { return directory_.string(); }
  void stop() { server_->stop(); }

 private:
  std::unique_ptr<DemoSite> site_;
  std::unique_ptr<HttpServer> server_;
  bool started_ = false;
  std::string host_;
  std::filesystem::path directory_;
};

inline std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#endif  // NOVEL_TESTS_APP_SERVED_BOOK_H_
