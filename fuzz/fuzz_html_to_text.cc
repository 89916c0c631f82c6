// Chapter pages are written by strangers: any bytes must render to text.
#include <cstdint>
#include <string>

#include "text/conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string page(reinterpret_cast<const char*>(data), size);
  html_to_text(page);
  return 0;
}
