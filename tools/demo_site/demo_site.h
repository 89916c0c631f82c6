// The demo novel site: routes requests to the generated book's catalogue and
// chapter pages and delivers the faults its plan gives to chapters.
//
// Links on the catalogue carry the host the client asked for (the Host
// header, when it is a plain host and port), so the pages work under any
// address the server is reached at. handle() is safe from several threads.
#ifndef NOVEL_DEMO_SITE_DEMO_SITE_H_
#define NOVEL_DEMO_SITE_DEMO_SITE_H_

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "demo_site/book_pages.h"
#include "demo_site/fault_plan.h"
#include "demo_site/http_server.h"

struct SiteOptions {
  int chapter_count = 300;
  uint64_t seed = 1;
  double failure_fraction = 0;
  std::vector<ChapterFault> failure_modes;  // empty: HTTP 500 only
};

class DemoSite {
 public:
  explicit DemoSite(const SiteOptions& options);

  const GeneratedBook& book() const { return book_; }
  const FaultPlan& faults() const { return faults_; }

  ServedReply handle(const ServedRequest& request) const;
  // handle() as an HttpServer's handler. REQUIRES: the site outlives the server.
  RequestHandler handler() const {
    return [this](const ServedRequest& request) { return handle(request); };
  }
  // Chapter pages answered with their text (faulty ones are not counted).
  int64_t chapters_served() const { return chapters_served_.load(); }

 private:
  GeneratedBook book_;
  FaultPlan faults_;
  mutable std::atomic<int64_t> chapters_served_{0};
};

// The catalogue address of a site served on 127.0.0.1:`port`.
std::string catalogue_address(int port, bool https = false);

#endif  // NOVEL_DEMO_SITE_DEMO_SITE_H_
