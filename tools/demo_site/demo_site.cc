#include "demo_site/demo_site.h"

#include <optional>
#include <string_view>

namespace {

constexpr size_t kHugePageBytes = size_t{20} << 20;
constexpr size_t kOverCapBytes = size_t{65} << 20;
// Bytes no UTF-8 text holds: a lone continuation byte, an overlong "/", a
// surrogate, an unpaired lead byte and a byte that is never valid.
constexpr std::string_view kMalformedUtf8 = "<!-- \x80 \xc0\xaf \xed\xa0\x80 \xe4\xb8 \xff -->";

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

ServedReply padded_reply(std::string page, size_t total_bytes) {
  ServedReply reply = plain_reply(200, std::move(page));
  reply.padding = total_bytes > reply.body.size() ? total_bytes - reply.body.size() : 0;
  return reply;
}

ServedReply broken_reply(std::string page, Delivery delivery) {
  ServedReply reply = plain_reply(200, std::move(page));
  reply.delivery = delivery;
  return reply;
}

std::string with_malformed_utf8(std::string page) {
  const size_t body = page.find("<body>");
  page.insert(body == std::string::npos ? 0 : body + 6, kMalformedUtf8);
  return page;
}

// The reply that delivers `fault`; empty for kNone.
std::optional<ServedReply> faulty_reply(ChapterFault fault, const ServedRequest& request,
                                        const GeneratedBook& book, int chapter) {
  switch (fault) {
    case ChapterFault::kNone:
      return std::nullopt;
    case ChapterFault::kServerError:
      return plain_reply(500, "<html><body>500 服务器繁忙，请稍后再试</body></html>\n");
    case ChapterFault::kNotFound:
      return plain_reply(404, "<html><body>404 页面不存在</body></html>\n");
    case ChapterFault::kTooManyRequests: {
      ServedReply reply = plain_reply(429, "<html><body>429 请求过于频繁</body></html>\n");
      reply.headers.emplace_back("Retry-After", "1");
      return reply;
    }
    case ChapterFault::kConnectionReset:
      return broken_reply("", Delivery::kResetBeforeReply);
    case ChapterFault::kResetMidBody:
      return broken_reply(book.chapter_page(chapter), Delivery::kResetMidBody);
    case ChapterFault::kShortBody:
      return broken_reply(book.chapter_page(chapter), Delivery::kCloseMidBody);
    case ChapterFault::kStall:
      return broken_reply("", Delivery::kStall);
    case ChapterFault::kRedirectLoop: {
      ServedReply reply = plain_reply(302, "");
      reply.headers.emplace_back("Location", request.target);
      return reply;
    }
    case ChapterFault::kInvalidUtf8:
      return plain_reply(200, with_malformed_utf8(book.chapter_page(chapter)));
    case ChapterFault::kHugePage:
      return padded_reply(book.chapter_page(chapter), kHugePageBytes);
    case ChapterFault::kOverBodyCap:
      return padded_reply(book.chapter_page(chapter), kOverCapBytes);
    case ChapterFault::kEmptyBody:
      return plain_reply(200, "");
  }
  return std::nullopt;
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

  if (std::optional<ServedReply> reply =
          faulty_reply(faults_.fault_for(chapter), request, book_, chapter)) {
    return *std::move(reply);
  }
  chapters_served_.fetch_add(1, std::memory_order_relaxed);
  return plain_reply(200, book_.chapter_page(chapter));
}

std::string catalogue_address(int port, bool https) {
  return std::string(https ? "https" : "http") + "://127.0.0.1:" + std::to_string(port) +
         std::string(kCataloguePath);
}
