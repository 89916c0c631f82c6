#include "containers/hash_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<int32_t> integer_keys(const HashTable& table) {
  std::vector<HashItem> keys;
  table.keys(keys);
  std::vector<int32_t> integers;
  for (const HashItem& key : keys) integers.push_back(key.integer());
  return integers;
}

std::vector<std::string> byte_items(const std::vector<HashItem>& items) {
  std::vector<std::string> bytes;
  for (const HashItem& item : items) bytes.push_back(item.bytes());
  return bytes;
}

HashTable integer_table(const std::vector<int32_t>& keys) {
  HashTable table;
  table.create(kHashInteger, kHashInteger);
  for (int32_t key : keys) table.set(key, key * 10);
  return table;
}

TEST(TableHash, SumsBytesTimesPowersOf31) {
  EXPECT_EQ(table_hash(""), 0u);
  EXPECT_EQ(table_hash("a"), 97u);
  EXPECT_EQ(table_hash("ab"), 98u * 31 + 97);
  EXPECT_EQ(table_hash("\xFF"), 255u);  // bytes count unsigned
}

TEST(HashTableOrder, BucketsAscendingAndNewestFirstInAChain) {
  struct Case {
    const char* name;
    std::vector<int32_t> inserted, visited;
  };
  const std::vector<Case> cases = {
      {"-5 files in bucket 8, before 9", {9, -5}, {-5, 9}},
      {"one chain, newest first", {0, 11, 22}, {22, 11, 0}},
      {"chains in bucket order", {10, 3, 14}, {14, 3, 10}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(integer_keys(integer_table(c.inserted)), c.visited) << c.name;
  }

  HashTable texts;
  texts.create(kHashText, kHashText);
  texts.set("a", "x");   // 97 % 11 = 9
  texts.set("ab", "y");  // 3135 % 11 = 0
  std::vector<HashItem> keys;
  texts.keys(keys);
  EXPECT_EQ(byte_items(keys), (std::vector<std::string>{"ab", "a"}));
}

TEST(HashTableGrowth, GrowsTo2nPlus1AtTheLoadFactor) {
  HashTable table;
  ASSERT_TRUE(table.create(kHashInteger, kHashInteger));
  const std::vector<std::pair<int32_t, int32_t>> buckets_after = {{8, 11},  {9, 23},  {17, 23},
                                                                  {18, 47}, {35, 47}, {36, 95}};
  int32_t added = 0;
  for (const auto& [keys, buckets] : buckets_after) {
    for (; added < keys; ++added) table.set(1000 + added, added);
    EXPECT_EQ(table.bucket_count(), buckets) << keys << " keys";
  }
  for (int32_t i = 0; i < added; ++i) EXPECT_EQ(table.get(1000 + i).integer(), i);

  HashTable custom;
  ASSERT_TRUE(custom.create(kHashInteger, kHashInteger, 5, 2.0f));
  for (int32_t i = 0; i < 10; ++i) custom.set(i, i);
  EXPECT_EQ(custom.bucket_count(), 5);
  custom.set(10, 10);
  EXPECT_EQ(custom.bucket_count(), 11);
}

TEST(HashTableGrowth, RelinksEachOldChainFromItsHead) {
  // 0 and 253 share a bucket among 11 and among 23, so relinking from the
  // old head onto the new head reverses them.
  HashTable table = integer_table({0, 253, 1, 2, 3, 4, 5, 6});
  EXPECT_EQ(integer_keys(table), (std::vector<int32_t>{253, 0, 1, 2, 3, 4, 5, 6}));
  table.set(7, 70);
  EXPECT_EQ(table.bucket_count(), 23);
  EXPECT_EQ(integer_keys(table), (std::vector<int32_t>{0, 253, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(HashTableSet, AddsNewKeysAndReplacesValuesOfPresentOnes) {
  HashTable table;
  table.create(kHashText, kHashText);
  EXPECT_EQ(table.set("sid", "1"), 0);
  EXPECT_EQ(table.set("uid", "2"), 0);
  EXPECT_EQ(table.set("sid", "3"), 1);
  EXPECT_EQ(table.count(), 2);
  EXPECT_EQ(table.get("sid"), HashItem(kHashText, 0, "3"));

  std::string name = "uid", value = "4";
  table.set(name, value);
  name.assign("xyz");
  value.assign("5");
  EXPECT_EQ(table.get("uid").text(), "4");
  EXPECT_FALSE(table.has_key("xyz"));
}

TEST(HashTableTypes, AnItemOfTheOtherKindReadsAsTheEmptyValue) {
  HashTable table;
  table.create(kHashInteger, kHashText);
  table.set("job", 7);
  EXPECT_EQ(table.get(0).text(), "");
  EXPECT_TRUE(table.has_key(0));
}

TEST(HashTableTypes, KeysCompareByTheDeclaredType) {
  struct Case {
    const char* name;
    int32_t key_type;
    HashView first, second;
    bool same;
  };
  const std::string zero_b("a\0b", 3), zero_b_copy(zero_b), zero_c("a\0c", 3);
  const std::vector<Case> cases = {
      {"text keeps letter case", kHashText, "Name", "name", false},
      {"text ends at its zero byte", kHashText, zero_b, "a", true},
      {"empty texts", kHashText, "", "", true},
      {"bytes keep zero bytes", kHashBytes, zero_b, zero_c, false},
      {"equal bytes", kHashBytes, zero_b, zero_b_copy, true},
      {"bytes of other length", kHashBytes, "ab", "abc", false},
      {"empty bytes", kHashBytes, "", "", true},
      {"equal integers", kHashInteger, 7, 7, true},
      {"integers of equal magnitude", kHashInteger, -1, 1, false},
  };
  for (const auto& c : cases) {
    HashTable table;
    table.create(c.key_type, kHashInteger);
    table.set(c.first, 1);
    EXPECT_EQ(table.set(c.second, 2), c.same ? 1 : 0) << c.name;
    EXPECT_EQ(table.count(), c.same ? 1 : 2) << c.name;
    EXPECT_EQ(table.get(c.first).integer(), c.same ? 2 : 1) << c.name;
  }
}

TEST(HashTableTypes, ValuesComeBackAsOwnedCopiesOfTheirType) {
  const std::string with_zero("x\0y", 3);
  struct Case {
    int32_t value_type;
    HashView stored;
    HashItem present, absent;
  };
  const std::vector<Case> cases = {
      {kHashInteger, -42, HashItem(kHashInteger, -42, ""), HashItem(kHashInteger, 0, "")},
      {kHashText, with_zero, HashItem(kHashText, 0, "x"), HashItem(kHashText, 0, "")},
      {kHashBytes, with_zero, HashItem(kHashBytes, 0, with_zero), HashItem(kHashBytes, 0, "")},
  };
  for (const auto& c : cases) {
    HashTable table;
    table.create(kHashInteger, c.value_type);
    table.set(5, c.stored);
    EXPECT_EQ(table.get(5), c.present) << c.value_type;
    EXPECT_EQ(table.get(6), c.absent) << c.value_type;
  }
}

TEST(HashTableTypes, OtherTypeCodesStoreNothingAndNeverMatch) {
  HashTable table;
  ASSERT_TRUE(table.create(5, 5));
  EXPECT_EQ(table.set("x", 1), 0);
  EXPECT_EQ(table.set("x", 1), 0);
  EXPECT_EQ(table.count(), 2);
  EXPECT_FALSE(table.has_key("x"));
  EXPECT_FALSE(table.remove("x"));
  EXPECT_EQ(table.get("x"), HashItem(5, 0, ""));
}

TEST(HashTableWithoutTable, OperationsDoNothing) {
  HashTable never_created;
  HashTable closed = integer_table({1, 2});
  closed.close();
  for (HashTable* table : {&never_created, &closed}) {
    EXPECT_EQ(table->count(), 0);
    EXPECT_EQ(table->set(1, 1), -1);
    EXPECT_EQ(table->get(1), HashItem());
    EXPECT_FALSE(table->has_key(1));
    EXPECT_FALSE(table->has_value(1));
    EXPECT_FALSE(table->remove(1));
    std::vector<HashItem> untouched = {HashItem(kHashText, 0, "kept")};
    EXPECT_EQ(table->keys(untouched), 0);
    EXPECT_EQ(table->values(untouched), 0);
    EXPECT_EQ(table->keys_of(1, untouched), 0);
    EXPECT_EQ(untouched.size(), 1u);
    EXPECT_EQ(table->save(), "");
    int calls = 0;
    table->for_each([&](HashView, HashView) {
      ++calls;
      return false;
    });
    EXPECT_EQ(calls, 0);
    table->clear();
    EXPECT_EQ(table->bucket_count(), 0);
  }
}

TEST(HashTableCreate, RejectsBadSizesAndKeepsTheOldTable) {
  struct Case {
    const char* name;
    int32_t bucket_count;
    float load_factor;
  };
  const std::vector<Case> cases = {
      {"negative buckets", -1, 0.75f},        {"no buckets", 0, 0.75f},
      {"zero load factor", 11, 0.0f},         {"negative load factor", 11, -0.5f},
      {"NaN load factor", 11, std::nanf("")},
  };
  for (const auto& c : cases) {
    HashTable table = integer_table({3});
    EXPECT_FALSE(table.create(kHashText, kHashText, c.bucket_count, c.load_factor)) << c.name;
    EXPECT_EQ(table.key_type(), kHashInteger) << c.name;
    EXPECT_EQ(table.get(3).integer(), 30) << c.name;
  }
}

TEST(HashTableRemove, UnlinksHeadMiddleAndTailOfAChain) {
  for (int32_t removed : {22, 11, 0}) {  // chain 22 -> 11 -> 0
    HashTable table = integer_table({0, 11, 22});
    EXPECT_TRUE(table.remove(removed)) << removed;
    EXPECT_FALSE(table.remove(removed)) << removed;
    EXPECT_EQ(table.count(), 2) << removed;
    for (int32_t key : {0, 11, 22}) EXPECT_EQ(table.has_key(key), key != removed) << removed;
  }
  HashTable texts;
  texts.create(kHashText, kHashBytes);
  texts.set("a", "1");
  EXPECT_FALSE(texts.remove("A"));
  EXPECT_TRUE(texts.remove("a"));
  EXPECT_EQ(texts.count(), 0);
}

TEST(HashTableVisit, KeysValuesAndKeysOfFollowOneOrder) {
  HashTable table;
  table.create(kHashInteger, kHashText);
  table.set(1, "x");
  table.set(2, "y");
  table.set(12, "x");  // bucket 1, ahead of key 1
  std::vector<HashItem> items;
  EXPECT_EQ(table.keys(items), 3);
  EXPECT_EQ(integer_keys(table), (std::vector<int32_t>{12, 1, 2}));
  EXPECT_EQ(table.values(items), 3);
  EXPECT_EQ(byte_items(items), (std::vector<std::string>{"x", "x", "y"}));
  EXPECT_EQ(table.keys_of("x", items), 2);
  EXPECT_EQ(items,
            (std::vector<HashItem>{HashItem(kHashInteger, 12, ""), HashItem(kHashInteger, 1, "")}));
  EXPECT_EQ(table.keys_of("z", items), 0);
  EXPECT_TRUE(items.empty());
  EXPECT_TRUE(table.has_value("y"));
  EXPECT_FALSE(table.has_value("z"));

  std::vector<int32_t> seen;
  const auto record_key = [&](HashView key, HashView) {
    seen.push_back(key.integer());
    return false;
  };
  table.for_each(record_key);
  EXPECT_EQ(seen, (std::vector<int32_t>{12, 1, 2}));
  seen.clear();
  table.for_each([&](HashView key, HashView) {
    seen.push_back(key.integer());
    return true;  // stop after the first entry
  });
  EXPECT_EQ(seen, (std::vector<int32_t>{12}));
}

TEST(HashTableClear, EmptiesTheTableButKeepsItsShape) {
  HashTable table = integer_table({1, 2, 3, 4, 5, 6, 7, 8, 9});
  table.clear();
  EXPECT_EQ(table.count(), 0);
  EXPECT_EQ(table.bucket_count(), 23);
  EXPECT_TRUE(integer_keys(table).empty());
  EXPECT_EQ(table.set(4, 1), 0);
  EXPECT_EQ(table.count(), 1);
}

TEST(HashTableSharing, CopiesSeeOneTableThatTheLastOneFrees) {
  HashTable survivor;
  {
    HashTable original;
    original.create(kHashText, kHashText);
    survivor = original;
    original.set("name", "value");
    HashTable moved(std::move(original));
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(original.count(), 0);
  }
  EXPECT_EQ(survivor.get("name").text(), "value");

  HashTable copy(survivor);
  copy.close();
  EXPECT_EQ(survivor.count(), 1);
  copy = survivor;
  survivor.create(kHashInteger, kHashInteger);  // replaces only survivor's table
  EXPECT_EQ(copy.get("name").text(), "value");
  EXPECT_EQ(survivor.count(), 0);
}

TEST(HashTableSharing, CopiesCanBeDroppedOnSeveralThreads) {
  HashTable original;
  original.create(kHashInteger, kHashBytes);
  original.set(1, "argument bytes");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&original] {
      for (int i = 0; i < 20000; ++i) {
        HashTable copy(original);
        HashTable another = copy;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  // A lost update to the count would have freed the table (a use after free
  // under AddressSanitizer) or kept it alive after close (a leak).
  EXPECT_EQ(original.get(1).bytes(), "argument bytes");
  original.close();
}

}  // namespace
