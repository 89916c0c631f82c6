#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "demo_site/demo_site.h"
#include "demo_site/http_server.h"
#include "demo_site/tests/curl_client.h"

namespace {

EasyHandle new_handle(const std::string& url, std::string* body) {
  EasyHandle handle(curl_easy_init(), &curl_easy_cleanup);
  curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &append_body);
  curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, body);
  curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, 60L);
  return handle;
}

Fetched fetch(CURL* handle, const std::string& url) {
  Fetched fetched;
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &append_body);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &fetched.body);
  fetched.result = curl_easy_perform(handle);
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &fetched.status);
  return fetched;
}

SiteOptions book_of(int chapters, uint64_t seed) {
  SiteOptions site;
  site.chapter_count = chapters;
  site.seed = seed;
  return site;
}

class DemoServerTest : public ::testing::Test {
 protected:
  void serve(const SiteOptions& site, ServerOptions server = {}) {
    site_ = std::make_unique<DemoSite>(site);
    server_ = std::make_unique<HttpServer>(server, site_->handler());
    std::string error;
    ASSERT_TRUE(server_->start(&error)) << error;
    origin_ = "http://127.0.0.1:" + std::to_string(server_->port());
  }

  std::unique_ptr<DemoSite> site_;
  std::unique_ptr<HttpServer> server_;
  std::string origin_;
};

TEST_F(DemoServerTest, ServesCatalogueAndChaptersOnOneConnection) {
  serve(book_of(20, 4));
  EasyHandle handle(curl_easy_init(), &curl_easy_cleanup);
  const Fetched catalogue = fetch(handle.get(), catalogue_address(server_->port()));
  ASSERT_EQ(catalogue.result, CURLE_OK);
  EXPECT_EQ(catalogue.status, 200);
  EXPECT_EQ(catalogue.body,
            site_->book().catalogue_page("127.0.0.1:" + std::to_string(server_->port())));
  for (const int chapter : {1, 7, 20}) {
    const Fetched page = fetch(handle.get(), origin_ + site_->book().chapter_path(chapter));
    ASSERT_EQ(page.result, CURLE_OK) << chapter;
    EXPECT_EQ(page.status, 200) << chapter;
    EXPECT_EQ(page.body, site_->book().chapter_page(chapter)) << chapter;
  }
  long connections = -1;
  curl_easy_getinfo(handle.get(), CURLINFO_NUM_CONNECTS, &connections);
  EXPECT_EQ(connections, 0);  // the last request reused the kept-alive connection
  EXPECT_EQ(fetch(handle.get(), origin_ + "/chapter/1012919215/1").status, 404);
  EXPECT_EQ(site_->chapters_served(), 3);
}

TEST_F(DemoServerTest, FaultyChaptersFailEveryTimeAsPlanned) {
  SiteOptions site = book_of(40, 9);
  site.failure_fraction = 0.25;
  site.failure_modes = {ChapterFault::kServerError, ChapterFault::kConnectionReset};
  serve(site);
  const std::vector<int> faulty = site_->faults().faulty_chapters();
  ASSERT_EQ(faulty.size(), 10u);
  EasyHandle handle(curl_easy_init(), &curl_easy_cleanup);
  for (int chapter = 1; chapter <= 40; ++chapter) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      const Fetched page = fetch(handle.get(), origin_ + site_->book().chapter_path(chapter));
      const ChapterFault fault = site_->faults().fault_for(chapter);
      if (fault == ChapterFault::kConnectionReset) {
        EXPECT_NE(page.result, CURLE_OK) << chapter;
        EXPECT_TRUE(page.body.empty()) << chapter;
      } else {
        EXPECT_EQ(page.status, fault == ChapterFault::kNone ? 200 : 500) << chapter;
      }
    }
  }
}

// Clients that connect while the server has no descriptor left wait in the
// backlog and are served once descriptors are free again.
TEST_F(DemoServerTest, ServesClientsThatCameWhileOutOfDescriptors) {
  serve(book_of(3, 1));
  std::vector<int> clients;
  const timeval patience{10, 0};  // a client never accepted fails instead of hanging
  for (int i = 0; i < 3; ++i) {
    clients.push_back(socket(AF_INET, SOCK_STREAM, 0));
    setsockopt(clients.back(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  }
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit scarce = saved;
  scarce.rlim_cur = static_cast<rlim_t>(clients.back() + 1);  // no new descriptor fits
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &scarce), 0);

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(server_->port()));
  const std::string request =
      "GET " + site_->book().chapter_path(1) + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  for (const int client : clients) {
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(send(client, request.data(), request.size(), 0),
              static_cast<ssize_t>(request.size()));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);

  for (const int client : clients) {
    std::string reply;
    char buffer[4096];
    for (ssize_t got; (got = recv(client, buffer, sizeof buffer, 0)) > 0;)
      reply.append(buffer, got);
    close(client);
    EXPECT_TRUE(reply.starts_with("HTTP/1.1 200 OK")) << reply.substr(0, 40);
  }
}

// A thousand clients wait on the latency at the same time: the whole run
// takes a few latencies, where one connection at a time would take 1000.
TEST_F(DemoServerTest, HoldsAThousandConcurrentConnections) {
  constexpr int kClients = 1000;
  constexpr int kLatencyMs = 300;
  ServerOptions slow;
  slow.latency_ms = kLatencyMs;
  serve(book_of(kClients, 2), slow);
  std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(),
                                                              &curl_multi_cleanup);
  curl_multi_setopt(multi.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, 0L);
  std::vector<std::string> bodies(kClients);
  std::vector<EasyHandle> handles;
  for (int i = 0; i < kClients; ++i) {
    handles.push_back(new_handle(origin_ + site_->book().chapter_path(i + 1), &bodies[i]));
    curl_multi_add_handle(multi.get(), handles.back().get());
  }
  const auto started = std::chrono::steady_clock::now();
  int running = kClients;
  while (running > 0) {
    curl_multi_perform(multi.get(), &running);
    curl_multi_poll(multi.get(), nullptr, 0, 100, nullptr);
  }
  const auto elapsed = std::chrono::steady_clock::now() - started;
  int ok = 0;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
    ok += message->msg == CURLMSG_DONE && message->data.result == CURLE_OK;
  }
  for (EasyHandle& handle : handles) curl_multi_remove_handle(multi.get(), handle.get());
  EXPECT_EQ(ok, kClients);
  EXPECT_EQ(site_->chapters_served(), kClients);
  EXPECT_LT(elapsed, std::chrono::milliseconds(kLatencyMs) * 100);
  for (int i : {0, 499, 999}) EXPECT_EQ(bodies[i], site_->book().chapter_page(i + 1));
}

}  // namespace
