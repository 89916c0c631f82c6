// Addresses come from catalogue pages: any split must give a known scheme,
// a port text of digits and a path that starts with "/".
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "web/inet_fetch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string scheme, host, port, path;
  if (!split_url(std::string_view(reinterpret_cast<const char*>(data), size), &scheme, &host, &port,
                 &path)) {
    return 0;
  }
  if (scheme != "http://" && scheme != "https://") std::abort();
  if (path.empty()) std::abort();
  return 0;
}
