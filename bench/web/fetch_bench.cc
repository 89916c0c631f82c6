// Chapter download speed: 3000 pages of about 25 KB, each answered 100 ms
// late by a local server, fetched by 500 threads each calling http_fetch, over
// HTTP and over HTTPS. The least time the latency allows is
// 3000 x 0.1 s / 500 = 0.6 s. Beside each figure runs the plain way: a new
// curl handle for every page, made and cleaned up by the fetching thread.
//
// Usage: web_fetch_bench [pages] [threads]
#include <curl/curl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "page_server.h"
#include "platform/curl_transfer.h"
#include "web/http_fetch.h"

namespace {

constexpr int kDelayMs = 100;

std::string make_page() {
  // UTF-8 text as a novel page carries it: three-byte characters and markup.
  std::string page = "<html><head><title>\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0</title></head><body>";
  while (page.size() < 25 * 1024)
    page += "<p>\xE5\xA4\xA9\xE5\x9C\xB0\xE7\x8E\x84\xE9\xBB\x84 text</p>\n";
  return page + "</body></html>";
}

struct CpuTime {
  double user = 0;
  double system = 0;
};

CpuTime cpu_time() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return {static_cast<double>(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6,
          static_cast<double>(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec / 1e6};
}

// CPU seconds the page server's process has used so far.
double server_seconds(int server) {
  std::ifstream stat("/proc/" + std::to_string(server) + "/stat");
  std::string line;
  std::getline(stat, line);
  // Fields after the command name, which ends with the last ')': utime and
  // stime are the 12th and 13th of them.
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 13 && fields >> field; ++i) {
    if (i >= 12) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

size_t append_body(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// The plain way: a handle of its own for every page.
std::string fetch_with_new_handle(const std::string& url) {
  std::string body;
  CURL* handle = curl_easy_init();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(handle, CURLOPT_PROXY, "");
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &append_body);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
  if (curl_easy_perform(handle) != CURLE_OK) body.clear();
  curl_easy_cleanup(handle);
  return body;
}

void run(const char* name, int server, const std::string& base, int pages, int threads,
         size_t page_size, const std::function<std::string(const std::string&)>& fetch) {
  std::atomic<int> next{0};
  std::atomic<int> failed{0};
  CpuTime before = cpu_time();
  double server_before = server_seconds(server);
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (int page; (page = next.fetch_add(1)) < pages;) {
        if (fetch(base + "/chapter/" + std::to_string(page) + ".html").size() != page_size) {
          failed.fetch_add(1);
        }
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CpuTime after = cpu_time();
  double server_cpu = server_seconds(server) - server_before;
  double user = after.user - before.user;
  double system = after.system - before.system;
  double limit = pages * (kDelayMs / 1000.0) / threads;
  std::printf(
      "%-36s wall %5.2f s %6.0f pages/s  client cpu/page %.3f ms (user %.3f, sys %.3f)  "
      "server cpu/page %.3f ms  x%.2f of the %.2f s limit  failed %d\n",
      name, wall, pages / wall, (user + system) * 1000 / pages, user * 1000 / pages,
      system * 1000 / pages, server_cpu * 1000 / pages, wall / limit, limit, failed.load());
}

}  // namespace

int main(int argc, char** argv) {
  int pages = argc > 1 ? std::atoi(argv[1]) : 3000;
  int threads = argc > 2 ? std::atoi(argv[2]) : 500;
  std::string page = make_page();
  int child = 0;
  PageServerPorts ports =
      start_page_server(page, kDelayMs, NOVEL_BENCH_CERTIFICATE, NOVEL_BENCH_KEY, &child);
  raise_open_file_limit();
  init_network();
  std::printf("%d pages of %zu bytes, %d threads, %d ms added latency\n", pages, page.size(),
              threads, kDelayMs);
  std::string http = "http://127.0.0.1:" + std::to_string(ports.http);
  std::string https = "https://127.0.0.1:" + std::to_string(ports.https);
  auto reused = [](const std::string& url) { return http_fetch(url); };
  run("HTTP  http_fetch (handle per thread)", child, http, pages, threads, page.size(), reused);
  run("HTTP  reference (handle per page)", child, http, pages, threads, page.size(),
      fetch_with_new_handle);
  run("HTTPS http_fetch (handle per thread)", child, https, pages, threads, page.size(), reused);
  run("HTTPS reference (handle per page)", child, https, pages, threads, page.size(),
      fetch_with_new_handle);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return 0;
}
