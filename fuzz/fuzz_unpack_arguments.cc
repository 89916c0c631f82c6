// Packs arrive as raw bytes: a pack that unpacks must pack again to a pack
// that unpacks to the same elements.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "threads/argument_pack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view pack(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> elements;
  if (!unpack_arguments(pack, elements)) return 0;
  std::vector<std::string> again;
  if (!unpack_arguments(pack_arguments(elements), again) || again != elements) std::abort();
  return 0;
}
