// novel-demo-site: serves a generated novel on 127.0.0.1 until SIGINT or
// SIGTERM. The first line on stdout is the catalogue address.
#include <getopt.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "demo_site/demo_site.h"
#include "demo_site/http_server.h"
#include "demo_site/tls_context.h"

namespace {

constexpr const char* kUsage =
    "usage: novel-demo-site [options]\n"
    "  -p, --port N           port on 127.0.0.1 (0: a free one; default 0)\n"
    "  -c, --chapters N       chapters of the book (default 300)\n"
    "  -l, --latency-ms N     delay before every answer (default 0)\n"
    "  -f, --fail-fraction F  fraction of chapters that fail, 0..1 (default 0)\n"
    "  -m, --fail-mode MODES  comma-separated fault modes, each chapter that fails\n"
    "                         takes one of them: 500, 404, 429, reset, reset-mid,\n"
    "                         short, stall, redirect-loop, bad-utf8, huge,\n"
    "                         over-cap, empty; or mixed (500,reset; the default)\n"
    "                         or all\n"
    "  -s, --seed N           seed of the book and of the failing chapters (default 1)\n"
    "      --loops N          event-loop threads (default 1)\n"
    "      --https            speak TLS with a certificate made at start-up\n"
    "      --cert-out FILE    with --https, write that certificate (PEM) to FILE\n"
    "  -h, --help             this text\n";

// The modes named in `text`, comma-separated; false on an unknown name.
bool parse_fault_modes(std::string_view text, std::vector<ChapterFault>* modes) {
  modes->clear();
  if (text == "all") {
    *modes = all_faults();
    return true;
  }
  if (text == "mixed") text = "500,reset";
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::optional<ChapterFault> fault = fault_from_name(text.substr(0, comma));
    if (!fault) return false;
    modes->push_back(*fault);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  return !modes->empty();
}

bool parse_number(const char* text, long long low, long long high, long long* value) {
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  ServerOptions server;
  SiteOptions site;
  std::string certificate_file;
  const option long_options[] = {
      {"port", required_argument, nullptr, 'p'},
      {"chapters", required_argument, nullptr, 'c'},
      {"latency-ms", required_argument, nullptr, 'l'},
      {"fail-fraction", required_argument, nullptr, 'f'},
      {"fail-mode", required_argument, nullptr, 'm'},
      {"seed", required_argument, nullptr, 's'},
      {"loops", required_argument, nullptr, 'L'},
      {"https", no_argument, nullptr, 'S'},
      {"cert-out", required_argument, nullptr, 'C'},
      {"help", no_argument, nullptr, 'h'},
      {nullptr, 0, nullptr, 0},
  };
  for (;;) {
    const int option = getopt_long(argc, argv, "p:c:l:f:m:s:h", long_options, nullptr);
    if (option == -1) break;
    long long number = 0;
    bool ok = true;
    switch (option) {
      case 'p':
        ok = parse_number(optarg, 0, 65535, &number);
        server.port = static_cast<int>(number);
        break;
      case 'c':
        ok = parse_number(optarg, 0, 10000000, &number);
        site.chapter_count = static_cast<int>(number);
        break;
      case 'l':
        ok = parse_number(optarg, 0, 600000, &number);
        server.latency_ms = static_cast<int>(number);
        break;
      case 'f': {
        char* end = nullptr;
        site.failure_fraction = std::strtod(optarg, &end);
        ok = end != optarg && *end == '\0' && site.failure_fraction >= 0 &&
             site.failure_fraction <= 1;
        break;
      }
      case 'm':
        ok = parse_fault_modes(optarg, &site.failure_modes);
        break;
      case 's':
        ok = parse_number(optarg, 0, (1LL << 62), &number);
        site.seed = static_cast<uint64_t>(number);
        break;
      case 'L':
        ok = parse_number(optarg, 1, 64, &number);
        server.loop_count = static_cast<int>(number);
        break;
      case 'S':
        server.https = true;
        break;
      case 'C':
        certificate_file = optarg;
        break;
      case 'h':
        std::fputs(kUsage, stdout);
        return 0;
      default:
        ok = false;
    }
    if (!ok) {
      std::fputs(kUsage, stderr);
      return 1;
    }
  }
  if (optind != argc || (!certificate_file.empty() && !server.https)) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  if (site.failure_modes.empty()) parse_fault_modes("mixed", &site.failure_modes);

  // Each connection holds a descriptor; a thousand clients need more than the
  // usual soft limit of 1024, so take what the hard limit allows.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }

  // Block the stop signals before any thread starts so that only sigwait sees them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  const DemoSite demo(site);
  HttpServer http(server, demo.handler());
  std::string error;
  if (!http.start(&error)) {
    std::fprintf(stderr, "novel-demo-site: %s\n", error.c_str());
    return 1;
  }
  if (!certificate_file.empty()) {
    std::FILE* file = std::fopen(certificate_file.c_str(), "w");
    const std::string& pem = http.tls()->certificate_pem();
    const bool written =
        file != nullptr && std::fwrite(pem.data(), 1, pem.size(), file) == pem.size();
    if (file == nullptr || std::fclose(file) != 0 || !written) {
      std::fprintf(stderr, "novel-demo-site: cannot write %s\n", certificate_file.c_str());
      return 1;
    }
  }
  std::printf("%s\n", catalogue_address(http.port(), server.https).c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stop_signals, &received);
  http.stop();
  return 0;
}
