// What the demo site's tests share to fetch with libcurl: a write callback
// that collects the body, an owning handle and the outcome of one fetch.
#ifndef NOVEL_DEMO_SITE_TESTS_CURL_CLIENT_H_
#define NOVEL_DEMO_SITE_TESTS_CURL_CLIENT_H_

#include <curl/curl.h>

#include <memory>
#include <string>

// CURLOPT_WRITEFUNCTION that appends to the std::string given as WRITEDATA.
inline size_t append_body(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

using EasyHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

struct Fetched {
  CURLcode result = CURLE_OK;
  long status = 0;
  curl_off_t retry_after = 0;
  std::string body;
};

#endif  // NOVEL_DEMO_SITE_TESTS_CURL_CLIENT_H_
