#include "platform/curl_transfer.h"

#include <curl/curl.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// Response headers larger than this are not a web page's.
constexpr size_t kMaxHeaderBytes = size_t{1} << 20;

// A curl share object with one lock per kind of shared data.
class SharedCaches {
 public:
  explicit SharedCaches(bool with_cookies) : share_(curl_share_init()) {
    if (share_ == nullptr) return;
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &SharedCaches::lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &SharedCaches::unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    if (with_cookies) curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  }
  CURLSH* get() const { return share_; }

 private:
  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<SharedCaches*>(self)->locks_[data].lock();
  }
  static void unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<SharedCaches*>(self)->locks_[data].unlock();
  }

  CURLSH* share_;
  std::mutex locks_[CURL_LOCK_DATA_LAST];
};

// Both shares live until the process ends: pool threads may still hold
// handles attached to them while static objects are being destroyed.
CURLSH* plain_share() {
  static SharedCaches* caches = new SharedCaches(false);
  return caches->get();
}
CURLSH* cookie_share() {
  static SharedCaches* caches = new SharedCaches(true);
  return caches->get();
}

// The calling thread's reusable easy handle, its options cleared.
CURL* thread_handle() {
  struct Holder {
    CURL* handle = nullptr;
    ~Holder() {
      if (handle != nullptr) curl_easy_cleanup(handle);
    }
  };
  thread_local Holder holder;
  if (holder.handle == nullptr) {
    holder.handle = curl_easy_init();
  } else {
    curl_easy_reset(holder.handle);
  }
  return holder.handle;
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool is_https(std::string_view url) { return starts_with_ignoring_case(url, "https://"); }

// "scheme://host:port" of an address, empty when it does not parse.
std::string origin_of(const std::string& url) {
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return "";
  std::string origin;
  for (CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
    char* value = nullptr;
    if (curl_url_get(parsed.get(), part, &value, CURLU_DEFAULT_PORT) != CURLUE_OK) return "";
    origin.append(value).append("|");
    curl_free(value);
  }
  return origin;
}

// What one hop collects while curl runs it.
struct Hop {
  const TransferRequest* request = nullptr;
  CURL* handle = nullptr;
  bool sending_body = false;
  std::string headers;
  std::string body;
  bool too_big = false;
  bool connected = false;
  Clock::time_point last_activity;
  curl_off_t last_down = 0;
  curl_off_t last_up = 0;
};

size_t on_header(char* data, size_t size, size_t count, void* user) {
  auto* hop = static_cast<Hop*>(user);
  std::string_view line(data, size * count);
  hop->last_activity = Clock::now();
  // A new status line starts a new response (after 100 Continue, say).
  if (line.starts_with("HTTP/")) hop->headers.clear();
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (hop->headers.size() + line.size() + 2 > kMaxHeaderBytes) {
    hop->too_big = true;
    return 0;
  }
  hop->headers.append(line).append("\r\n");
  return size * count;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
  auto* hop = static_cast<Hop*>(user);
  size_t bytes = size * count;
  hop->last_activity = Clock::now();
  if (hop->body.size() + bytes > kMaxBodyBytes) {
    hop->too_big = true;
    return 0;
  }
  if (hop->body.empty()) {
    // One allocation for a body of announced length (within the cap).
    curl_off_t length = -1;
    curl_easy_getinfo(hop->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length > 0) hop->body.reserve(std::min<size_t>(static_cast<size_t>(length), kMaxBodyBytes));
  }
  hop->body.append(data, bytes);
  return bytes;
}

int on_connected(void* user, char*, char*, int, int) {
  auto* hop = static_cast<Hop*>(user);
  hop->connected = true;
  hop->last_activity = Clock::now();
  return CURL_PREREQFUNC_OK;
}

// Ends the hop when nothing has moved for longer than the time-out of the
// current phase: sending the request, then waiting for the response.
int on_progress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto* hop = static_cast<Hop*>(user);
  if (!hop->connected) return 0;
  Clock::time_point now = Clock::now();
  if (down != hop->last_down || up != hop->last_up) {
    hop->last_down = down;
    hop->last_up = up;
    hop->last_activity = now;
    return 0;
  }
  bool sent = !hop->sending_body || up >= static_cast<curl_off_t>(hop->request->body.size());
  long limit_ms = sent ? hop->request->receive_timeout_ms : hop->request->send_timeout_ms;
  if (limit_ms <= 0) return 0;
  return now - hop->last_activity > std::chrono::milliseconds(limit_ms) ? 1 : 0;
}

// Sets every option of one hop on a handle whose options were cleared.
void configure(CURL* handle, const TransferRequest& request, const std::string& url,
               const std::string& verb, bool send_body, curl_slist* headers, Hop* hop) {
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  bool use_proxy = !request.proxy.empty() && !(request.proxy_for_http_only && is_https(url));
  // An empty proxy text also keeps curl from reading the proxy environment variables.
  curl_easy_setopt(handle, CURLOPT_PROXY, use_proxy ? request.proxy.c_str() : "");
  if (use_proxy && !request.proxy_user.empty()) {
    curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, request.proxy_user.c_str());
    curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, request.proxy_password.c_str());
  }
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, request.connect_timeout_ms);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, request.verify_peer ? 1L : 0L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, request.verify_host ? 2L : 0L);
  if (!request.verify_peer) {
    // Nothing to check against: spares loading the system's authorities for
    // every new connection.
    curl_easy_setopt(handle, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
  } else if (!request.ca_file.empty()) {
    curl_easy_setopt(handle, CURLOPT_CAINFO, request.ca_file.c_str());
  }
  if (!request.agent.empty()) curl_easy_setopt(handle, CURLOPT_USERAGENT, request.agent.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
  if (verb == "HEAD") {
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
  } else if (send_body) {
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.data());
    if (verb != "POST") curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, verb.c_str());
  } else {
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
  }
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &on_header);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, hop);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &on_body);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, hop);
  curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, &on_connected);
  curl_easy_setopt(handle, CURLOPT_PREREQDATA, hop);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &on_progress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, hop);
  curl_easy_setopt(handle, CURLOPT_SHARE,
                   request.use_cookie_store ? cookie_share() : plain_share());
  // Switches the cookie engine on; the cookies themselves live in the share.
  if (request.use_cookie_store) curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
}

bool is_credential_header(std::string_view line) {
  return starts_with_ignoring_case(line, "cookie:") ||
         starts_with_ignoring_case(line, "authorization:");
}

// The header list for curl; "Expect:" keeps curl from waiting on 100 Continue.
std::unique_ptr<curl_slist, SlistDeleter> make_header_list(const std::vector<std::string>& lines,
                                                           bool drop_credentials) {
  std::unique_ptr<curl_slist, SlistDeleter> list;
  for (const std::string& line : lines) {
    if (drop_credentials && is_credential_header(line)) continue;
    list.reset(curl_slist_append(list.release(), line.c_str()));
  }
  list.reset(curl_slist_append(list.release(), "Expect:"));
  return list;
}

}  // namespace

bool init_network() {
  static const bool initialised = [] {
    signal(SIGPIPE, SIG_IGN);
    return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  }();
  return initialised;
}

bool raise_open_file_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
  if (limit.rlim_cur == limit.rlim_max) return true;
  limit.rlim_cur = limit.rlim_max;
  return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

bool is_header_safe(std::string_view text) {
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
  }
  return true;
}

bool is_web_address(std::string_view url) {
  size_t host_start;
  if (starts_with_ignoring_case(url, "http://")) {
    host_start = 7;
  } else if (starts_with_ignoring_case(url, "https://")) {
    host_start = 8;
  } else {
    return false;
  }
  if (url.size() == host_start || url[host_start] == '/') return false;
  for (unsigned char c : url) {
    if (c <= 0x20 || c == 0x7F) return false;
  }
  return true;
}

TransferResult run_transfer(const TransferRequest& request) {
  TransferResult result;
  if (!init_network() || !is_web_address(request.url) || !is_header_safe(request.agent) ||
      !is_header_safe(request.proxy) || !is_header_safe(request.proxy_user) ||
      !is_header_safe(request.proxy_password)) {
    return result;
  }
  for (const std::string& line : request.header_lines) {
    if (!is_header_safe(line)) return result;
  }

  std::string url = request.url;
  std::string verb = request.verb;
  bool send_body = request.send_body || verb == "POST";
  bool drop_credentials = false;
  for (int hops = 0;; ++hops) {
    // A new handle for each hop when cookies may be stored: they live in the
    // share, and must not stay on this thread's reused handle.
    std::unique_ptr<CURL, EasyDeleter> own_handle;
    if (request.use_cookie_store) own_handle.reset(curl_easy_init());
    CURL* handle = request.use_cookie_store ? own_handle.get() : thread_handle();
    if (handle == nullptr) return result;
    auto headers = make_header_list(request.header_lines, drop_credentials);
    Hop hop;
    hop.request = &request;
    hop.handle = handle;
    hop.sending_body = send_body && verb != "HEAD";
    configure(handle, request, url, verb, send_body, headers.get(), &hop);
    CURLcode code = curl_easy_perform(handle);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (code != CURLE_OK) {
      if (request.keep_partial_body && !hop.too_big) {
        result.status = static_cast<int>(status);
        result.raw_headers = std::move(hop.headers);
        result.body = std::move(hop.body);
      }
      return result;
    }

    char* location = nullptr;
    if (request.follow_redirects && status >= 300 && status < 400) {
      curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location);
    }
    std::string next = location != nullptr ? location : "";
    bool allowed = is_web_address(next) &&
                   (is_https(url) == is_https(next) ||
                    (is_https(next) ? request.allow_http_to_https : request.allow_https_to_http));
    if (!allowed) {
      result.ok = true;
      result.status = static_cast<int>(status);
      result.raw_headers = std::move(hop.headers);
      result.body = std::move(hop.body);
      return result;
    }
    if (hops == kMaxRedirects) return TransferResult{};
    // Browsers' rules: 303 turns into GET, and so do 301 and 302 after a POST.
    if ((status == 303 && verb != "HEAD") || ((status == 301 || status == 302) && verb == "POST")) {
      verb = "GET";
      send_body = false;
    }
    // Credentials the caller set for one site do not follow a redirect to another.
    drop_credentials = drop_credentials || origin_of(url) != origin_of(next);
    url = std::move(next);
  }
}
