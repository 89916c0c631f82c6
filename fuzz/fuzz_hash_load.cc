// A saved table is read back from bytes that may be anything: a form that
// loads must be walkable, and what it saves must load to the same entries
// (their order may differ, as it follows the bucket count).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "containers/hash_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HashTable table;
  if (!table.load(std::string_view(reinterpret_cast<const char*>(data), size))) return 0;
  std::vector<HashItem> keys;
  std::vector<HashItem> values;
  if (table.keys(keys) != table.count() || table.values(values) != table.count()) std::abort();
  const std::string saved = table.save();
  HashTable copy;
  if (!copy.load(saved) || copy.count() != table.count()) std::abort();
  for (size_t i = 0; i < keys.size(); ++i) {
    if (copy.get(keys[i]) != values[i]) std::abort();
  }
  return 0;
}
