// Chapter pages are written by strangers: any bytes must render to text, and
// the UTF-8 page must render as its GBK text does.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string page = utf8_to_ansi(bytes);
  if (html_to_text(page) != utf8_html_to_text(bytes)) std::abort();
  return 0;
}
