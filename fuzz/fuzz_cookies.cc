// Header blocks and cookie texts come from servers: each cookie operation
// must take any bytes. A merge of its own output keeps the same entries
// (their order follows the table's buckets); that check takes ASCII texts
// only, as a GBK lead byte at the end of a value joins the separator after
// it and names and values end at a zero byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/text_ops.h"
#include "web/cookies.h"

namespace {

bool plain_ascii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > 0; });
}

std::vector<std::string> entries(const std::string& cookies) {
  std::vector<std::string> pieces = split_text(cookies, "; ");
  std::sort(pieces.begin(), pieces.end());
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::string jar = input.ConsumeRandomLengthString(4096);
  std::string header = input.ConsumeRemainingBytesAsString();

  std::string newer = extract_set_cookies(header);
  const std::string merged = merge_cookies(jar, newer);
  if (plain_ascii(jar) && plain_ascii(header) &&
      entries(merge_cookies(merged, "")) != entries(merged)) {
    std::abort();
  }
  update_cookies(jar, newer);
  return 0;
}
