// Searches and cuts over page text with markers the user typed: results must
// stay inside the text and agree with what they report.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/markers.h"
#include "text/text_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string sought = input.ConsumeRandomLengthString(32);
  const std::string other = input.ConsumeRandomLengthString(32);
  const int64_t start = input.ConsumeIntegralInRange<int64_t>(-4, 5000);
  const bool ignore_case = input.ConsumeBool();
  const std::string text = input.ConsumeRemainingBytesAsString();

  const int64_t found = find_text(text, sought, start, ignore_case);
  if (found != -1) {
    if (found < 1 || static_cast<size_t>(found) > text.size()) std::abort();
    if (!ignore_case && text.compare(static_cast<size_t>(found - 1), sought.size(), sought) != 0) {
      std::abort();
    }
  }

  size_t piece_bytes = 0;
  for (const std::string& piece : split_text(text, sought)) piece_bytes += piece.size();
  if (piece_bytes > text.size()) std::abort();

  if (text_between(text, sought, other, start, ignore_case).size() > text.size()) std::abort();
  if (cut_between(text, sought, other).size() > text.size()) std::abort();
  return 0;
}
