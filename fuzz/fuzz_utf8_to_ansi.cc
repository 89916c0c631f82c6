// Pages arrive as UTF-8 that may be malformed, and GBK text goes back to
// UTF-8 for the engines: both conversions take any bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string gbk = utf8_to_ansi(bytes);
  // Each character becomes one GBK character of at most two bytes.
  if (gbk.size() > 2 * bytes.size()) std::abort();
  ansi_to_utf8(bytes);
  // GBK text converted to UTF-8 and back is the same text.
  if (gbk.find('?') == std::string::npos && utf8_to_ansi(ansi_to_utf8(gbk)) != gbk) std::abort();
  return 0;
}
