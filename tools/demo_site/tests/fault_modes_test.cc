#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "demo_site/demo_site.h"
#include "demo_site/http_server.h"
#include "demo_site/tests/curl_client.h"

namespace {

// One request as a careful client makes it: a few redirects at most, a
// time-out, and optionally a cap on the body.
Fetched fetch(const std::string& url, long timeout_ms, curl_off_t max_body = 0) {
  Fetched fetched;
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), &curl_easy_cleanup);
  curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &append_body);
  curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &fetched.body);
  curl_easy_setopt(handle.get(), CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle.get(), CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT_MS, timeout_ms);
  if (max_body > 0) curl_easy_setopt(handle.get(), CURLOPT_MAXFILESIZE_LARGE, max_body);
  fetched.result = curl_easy_perform(handle.get());
  curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &fetched.status);
  curl_easy_getinfo(handle.get(), CURLINFO_RETRY_AFTER, &fetched.retry_after);
  return fetched;
}

class FaultServer {
 public:
  explicit FaultServer(ChapterFault fault) {
    SiteOptions options;
    options.chapter_count = 2;
    options.failure_fraction = 0.5;
    options.seed = 5;
    options.failure_modes = {fault};
    site_ = std::make_unique<DemoSite>(options);
    server_ = std::make_unique<HttpServer>(ServerOptions{}, site_->handler());
    std::string error;
    started_ = server_->start(&error);
    EXPECT_TRUE(started_) << error;
    faulty_ = site_->faults().faulty_chapters().at(0);
  }

  bool started() const { return started_; }
  int faulty() const { return faulty_; }
  std::string page() const { return site_->book().chapter_page(faulty_); }
  std::string url(int chapter) const {
    return "http://127.0.0.1:" + std::to_string(server_->port()) +
           site_->book().chapter_path(chapter);
  }
  std::string faulty_url() const { return url(faulty_); }
  HttpServer& server() { return *server_; }

 private:
  std::unique_ptr<DemoSite> site_;
  std::unique_ptr<HttpServer> server_;
  bool started_ = false;
  int faulty_ = 0;
};

struct FaultCase {
  const char* mode;
  CURLcode result;
  long status;
  size_t body_bytes;  // kPage: exactly the page; kPrefix: a strict, non-empty part of it
};

constexpr size_t kPage = static_cast<size_t>(-1);
constexpr size_t kPrefix = static_cast<size_t>(-2);
constexpr size_t kMalformed = static_cast<size_t>(-3);

// Each mode fails the same way on every request, and the healthy chapter
// beside it is served as usual.
TEST(FaultModes, EachModeBreaksItsChapterAsNamed) {
  const FaultCase cases[] = {
      {"500", CURLE_OK, 500, 0},
      {"404", CURLE_OK, 404, 0},
      {"429", CURLE_OK, 429, 0},
      {"reset", CURLE_RECV_ERROR, 0, 0},
      {"reset-mid", CURLE_RECV_ERROR, 200, kPrefix},
      {"short", CURLE_PARTIAL_FILE, 200, kPrefix},
      {"stall", CURLE_OPERATION_TIMEDOUT, 0, 0},
      {"redirect-loop", CURLE_TOO_MANY_REDIRECTS, 302, 0},
      {"bad-utf8", CURLE_OK, 200, kMalformed},
      {"huge", CURLE_OK, 200, size_t{20} << 20},
      {"over-cap", CURLE_OK, 200, size_t{65} << 20},
      {"empty", CURLE_OK, 200, 0},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.mode);
    const ChapterFault fault = *fault_from_name(c.mode);
    FaultServer site(fault);
    ASSERT_TRUE(site.started());
    for (int attempt = 0; attempt < 2; ++attempt) {
      const long timeout_ms = fault == ChapterFault::kStall ? 1000 : 30000;
      const Fetched got = fetch(site.faulty_url(), timeout_ms);
      EXPECT_EQ(got.result, c.result) << curl_easy_strerror(got.result);
      EXPECT_EQ(got.status, c.status);
      if (c.body_bytes == kPage) {
        EXPECT_EQ(got.body, site.page());
      } else if (c.body_bytes == kPrefix) {
        EXPECT_FALSE(got.body.empty());
        EXPECT_LT(got.body.size(), site.page().size());
        EXPECT_TRUE(site.page().starts_with(got.body));
      } else if (c.body_bytes == kMalformed) {
        EXPECT_NE(got.body.find("\xc0\xaf"), std::string::npos);
        EXPECT_GT(got.body.size(), site.page().size());
      } else if (c.body_bytes > 0) {
        EXPECT_EQ(got.body.size(), c.body_bytes);
        EXPECT_TRUE(got.body.starts_with(site.page()));
      } else if (c.result == CURLE_OK) {
        EXPECT_LT(got.body.size(), 100u);
      }
      if (fault == ChapterFault::kTooManyRequests) {
        EXPECT_EQ(got.retry_after, 1);
      }
    }
    EXPECT_EQ(chapter_survives(fault), fault == ChapterFault::kInvalidUtf8);
    const int healthy = 3 - site.faulty();
    EXPECT_EQ(fetch(site.url(healthy), 5000).status, 200);
  }
}

// The page over the cap is sized up front, so a capped client refuses it
// before reading any of it.
TEST(FaultModes, PageOverTheCapIsRefusedByACappedClient) {
  FaultServer site(ChapterFault::kOverBodyCap);
  ASSERT_TRUE(site.started());
  const Fetched got = fetch(site.faulty_url(), 5000, curl_off_t{64} << 20);
  EXPECT_EQ(got.result, CURLE_FILESIZE_EXCEEDED);
  EXPECT_TRUE(got.body.empty());
}

// A stalled client does not hold the server up: stop() ends at once and the
// client sees its connection close long before its own time-out.
TEST(FaultModes, StallEndsPromptlyWhenTheServerStops) {
  FaultServer site(ChapterFault::kStall);
  ASSERT_TRUE(site.started());
  const auto started = std::chrono::steady_clock::now();
  auto waiting = std::async(std::launch::async, [&] { return fetch(site.faulty_url(), 60000); });
  EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  site.server().stop();
  const Fetched got = waiting.get();
  EXPECT_NE(got.result, CURLE_OK);
  EXPECT_NE(got.result, CURLE_OPERATION_TIMEDOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST(FaultModes, LostChaptersAreTheFaultyOnesWhoseTextCannotArrive) {
  SiteOptions options;
  options.chapter_count = 200;
  options.failure_fraction = 0.5;
  options.failure_modes = all_faults();
  const DemoSite site(options);
  const std::vector<int> faulty = site.faults().faulty_chapters();
  const std::vector<int> lost = site.faults().lost_chapters();
  ASSERT_EQ(faulty.size(), 100u);
  size_t surviving = 0;
  for (const int chapter : faulty) {
    surviving += chapter_survives(site.faults().fault_for(chapter));
  }
  EXPECT_GT(surviving, 0u);
  EXPECT_EQ(lost.size(), faulty.size() - surviving);
  for (const int chapter : lost) EXPECT_NE(site.faults().fault_for(chapter), ChapterFault::kNone);
}

}  // namespace
