#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "containers/hash_table.h"

namespace {

std::string le32(int32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
  return bytes;
}

// A byte form with the given header, pair fields and data area.
std::string form(int32_t key_type, int32_t value_type, int32_t n,
                 const std::vector<int32_t>& fields, const std::string& data = "") {
  std::string bytes = "hash" + le32(key_type) + le32(value_type) + le32(n);
  for (int32_t field : fields) bytes += le32(field);
  return bytes + data;
}

HashItem item_for(int32_t type, int32_t i) {
  if (type == kHashInteger) return HashItem(type, i, "");
  if (type == kHashText) return HashItem(type, 0, "k" + std::to_string(i));
  return HashItem(type, 0, std::string("\0b", 2) + std::to_string(i));
}

TEST(HashTableForm, EmptyTableSavesTheHeaderOnly) {
  HashTable table;
  table.create(kHashInteger, kHashBytes);
  EXPECT_EQ(table.save(), form(kHashInteger, kHashBytes, 0, {}));
}

TEST(HashTableForm, FieldsHoldIntegersOrOffsetsOfItems) {
  HashTable texts;
  texts.create(kHashInteger, kHashText);
  texts.set(1, "ab");
  EXPECT_EQ(texts.save(), form(kHashInteger, kHashText, 1, {1, 24}, std::string("ab\0", 3)));

  HashTable bytes;
  bytes.create(kHashBytes, kHashText);
  bytes.set("x", "");
  EXPECT_EQ(bytes.save(), form(kHashBytes, kHashText, 1, {24, 33},
                               le32(1) + le32(1) + "x" + std::string(1, '\0')));
}

TEST(HashTableForm, RoundTripsEveryPairOfTypes) {
  const int32_t types[] = {kHashInteger, kHashText, kHashBytes};
  for (int32_t key_type : types) {
    for (int32_t value_type : types) {
      HashTable saved;
      saved.create(key_type, value_type);
      for (int32_t i = 0; i < 20; ++i) saved.set(item_for(key_type, i), item_for(value_type, -i));
      HashTable loaded;
      ASSERT_TRUE(loaded.load(saved.save())) << key_type << "/" << value_type;
      EXPECT_EQ(loaded.key_type(), key_type);
      EXPECT_EQ(loaded.value_type(), value_type);
      EXPECT_EQ(loaded.bucket_count(), 20 + 11);
      EXPECT_EQ(loaded.count(), 20);
      for (int32_t i = 0; i < 20; ++i) {
        EXPECT_EQ(loaded.get(item_for(key_type, i)), item_for(value_type, -i))
            << key_type << "/" << value_type << " entry " << i;
      }
    }
  }
}

TEST(HashTableForm, ARepeatedKeyKeepsItsLastValue) {
  HashTable table;
  ASSERT_TRUE(table.load(form(kHashInteger, kHashInteger, 2, {1, 10, 1, 20})));
  EXPECT_EQ(table.count(), 1);
  EXPECT_EQ(table.get(1).integer(), 20);
}

TEST(HashTableForm, LoadRejectsBadFormsAndKeepsTheOldTable) {
  const std::string zero(1, '\0');
  struct Case {
    const char* name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"empty", ""},
      {"shorter than the header", form(kHashInteger, kHashInteger, 0, {}).substr(0, 15)},
      {"unmarked", "HASH" + form(kHashInteger, kHashInteger, 0, {}).substr(4)},
      {"key type outside 3, 10, 11", form(5, kHashInteger, 0, {})},
      {"value type 0", form(kHashInteger, 0, 0, {})},
      {"negative count", form(kHashInteger, kHashInteger, -1, {})},
      {"count beyond the pairs", form(kHashInteger, kHashInteger, 2, {1, 1})},
      {"huge count", form(kHashInteger, kHashInteger, 0x7FFFFFFF, {1, 1})},
      {"text offset at the end", form(kHashText, kHashInteger, 1, {27, 0}, "ab" + zero)},
      {"negative text offset", form(kHashText, kHashInteger, 1, {-4, 0}, "ab" + zero)},
      {"text without its zero byte", form(kHashText, kHashInteger, 1, {24, 0}, "ab")},
      {"bytes header cut short", form(kHashBytes, kHashInteger, 1, {24, 0}, le32(1))},
      {"bytes running past the end",
       form(kHashBytes, kHashInteger, 1, {24, 0}, le32(1) + le32(3) + "ab")},
      {"negative bytes length", form(kHashBytes, kHashInteger, 1, {24, 0}, le32(1) + le32(-1))},
      {"bad item after good ones", form(kHashInteger, kHashText, 2, {1, 32, 2, 99}, "ok" + zero)},
  };
  for (const auto& c : cases) {
    HashTable table;
    table.create(kHashText, kHashText);
    table.set("keep", "yes");
    EXPECT_FALSE(table.load(c.bytes)) << c.name;
    EXPECT_EQ(table.key_type(), kHashText) << c.name;
    EXPECT_EQ(table.count(), 1) << c.name;
    EXPECT_EQ(table.get("keep").text(), "yes") << c.name;
  }
}

TEST(HashTableForm, LoadRejectsEveryTruncationAndSurvivesCorruption) {
  const int32_t types[] = {kHashInteger, kHashText, kHashBytes};
  std::mt19937 random(11);
  for (int32_t key_type : types) {
    for (int32_t value_type : types) {
      HashTable saved;
      saved.create(key_type, value_type);
      for (int32_t i = 0; i < 5; ++i) saved.set(item_for(key_type, i), item_for(value_type, i));
      const std::string whole = saved.save();
      HashTable loaded;
      for (size_t size = 0; size < whole.size(); ++size) {
        EXPECT_FALSE(loaded.load(whole.substr(0, size)))
            << key_type << "/" << value_type << " cut at " << size;
      }
      for (int round = 0; round < 300; ++round) {
        std::string corrupt = whole;
        for (int flips = 1 + random() % 3; flips > 0; --flips) {
          corrupt[16 + random() % (corrupt.size() - 16)] = static_cast<char>(random());
        }
        if (loaded.load(corrupt)) {
          EXPECT_LE(loaded.count(), 5);
        }
      }
    }
  }
}

}  // namespace
