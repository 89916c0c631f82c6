#include "demo_site/demo_site.h"

namespace {

// A Host header is copied into pages only when it is a plain host and port,
// so a client cannot inject markup into the catalogue.
bool is_plain_host(std::string_view host) {
  if (host.empty() || host.size() > 255) return false;
  for (const char c : host) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':';
    if (!allowed) return false;
  }
  return true;
}

ServedReply plain_reply(int status, std::string body) {
  ServedReply reply;
  reply.status = status;
  reply.content_type = "text/html; charset=utf-8";
  reply.body = std::move(body);
  return reply;
}

}  // namespace

DemoSite::DemoSite(const SiteOptions& options)
    : book_(options.chapter_count, options.seed),
      faults_(options.chapter_count, options.failure_fraction, options.seed,
              options.failure_modes) {}

ServedReply DemoSite::handle(const ServedRequest& request) const {
  if (request.method != "GET" && request.method != "HEAD") {
    return plain_reply(501, "<html><body>not implemented</body></html>\n");
  }
  std::string_view path = request.target;
  path = path.substr(0, path.find_first_of("?#"));

  if (path == kCataloguePath) {
    const std::string host = is_plain_host(request.host) ? request.host : "127.0.0.1";
    return plain_reply(200, book_.catalogue_page(host));
  }
  const int chapter = book_.chapter_from_path(path);
  if (chapter == 0) return plain_reply(404, "<html><body>404 页面不存在</body></html>\n");

  switch (faults_.fault_for(chapter)) {
    case ChapterFault::kServerError:
      return plain_reply(500, "<html><body>500 服务器繁忙，请稍后再试</body></html>\n");
    case ChapterFault::kConnectionReset: {
      ServedReply reply;
      reply.delivery = Delivery::kResetBeforeReply;
      return reply;
    }
    case ChapterFault::kNone:
      break;
  }
  chapters_served_.fetch_add(1, std::memory_order_relaxed);
  return plain_reply(200, book_.chapter_page(chapter));
}

std::string catalogue_address(int port) {
  return "http://127.0.0.1:" + std::to_string(port) + std::string(kCataloguePath);
}
