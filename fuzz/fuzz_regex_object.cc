// The user types the pattern and a stranger writes the page: any pair must
// run, and every match must lie inside the subject.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const bool case_sensitive = input.ConsumeBool();
  const bool multiline = input.ConsumeBool();
  const bool global = input.ConsumeBool();
  const bool quote_escape = input.ConsumeBool();
  const std::string pattern = input.ConsumeRandomLengthString(128);
  const std::string replacement = input.ConsumeRandomLengthString(32);
  const std::string subject = input.ConsumeRemainingBytesAsString();

  RegexObject regex;
  regex.execute(pattern, subject, case_sensitive, multiline, global, quote_escape);
  for (int64_t i = 1; i <= regex.match_count(); ++i) {
    int64_t position = 0;
    const std::string text = regex.match_text(i, &position);
    if (position < 0 || static_cast<size_t>(position) + text.size() > subject.size()) std::abort();
    for (int64_t group = 1; group <= regex.submatch_count(); ++group) {
      regex.submatch_text(i, group, &position);
    }
  }
  regex.replace(replacement);
  return 0;
}
