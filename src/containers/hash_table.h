// HashTable: the system's associative container.
//
// A chained hash table whose keys and values each have one declared type
// (see hash_item.h), which owns copies of everything stored in it and grows
// to 2n + 1 buckets once the entry count reaches load_factor x buckets. The
// cookie merge keeps cookie names and values in a text-to-text table; the
// thread pool keeps each queued job's argument bytes in an integer-to-bytes
// table keyed by job id.
//
// A HashTable object holds a counted reference to a shared table: copies of
// the object see one table, and the last reference to go frees it. An object
// has no table before its first successful create() or load() and after
// close(); every operation then does nothing and returns 0, false, -1 or an
// empty value as noted.
//
// Entries are visited (keys, values, keys_of, has_value, for_each, save) in
// ascending bucket order and each chain from its head; new entries go to the
// head of their chain, so within a bucket the newest entry comes first.
//
// API, in the order of the class:
//   close, create, load, count, set, get, has_value, has_key, remove, keys,
//   keys_of, values, clear, save, for_each; and the observers key_type,
//   value_type, bucket_count.
//
// Thread safety: the table has no lock. Callers that share one table between
// threads serialise every operation on it. Only the reference count is
// atomic, so copies of one object may be dropped on different threads.
#ifndef NOVEL_CONTAINERS_HASH_TABLE_H_
#define NOVEL_CONTAINERS_HASH_TABLE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "containers/hash_item.h"

class HashTable {
 public:
  static constexpr int32_t kDefaultBucketCount = 11;
  static constexpr float kDefaultLoadFactor = 0.75f;

  HashTable() = default;
  // Copies share the table of the object they were made from.
  HashTable(const HashTable& other);
  HashTable& operator=(const HashTable& other);
  HashTable(HashTable&& other) noexcept;
  HashTable& operator=(HashTable&& other) noexcept;
  ~HashTable();

  // Drops this object's reference; the object has no table afterwards.
  void close();
  // Replaces the object's table with a new empty one. Any type code is
  // accepted; codes other than 3, 10 and 11 store nothing and never compare
  // equal. Fails, keeping the old table, when bucket_count is not positive or
  // load_factor is not greater than 0.
  bool create(int32_t key_type, int32_t value_type, int32_t bucket_count = kDefaultBucketCount,
              float load_factor = kDefaultLoadFactor);
  // Rebuilds the table from the "hash" byte form that save() writes. Fails,
  // keeping the old table, on a form that is short, unmarked, has a type code
  // other than 3, 10 or 11, or whose counts or offsets point outside it.
  bool load(std::string_view form);
  int32_t count() const;
  // 1 when an existing entry's value was replaced (its stored key stays), 0
  // when an entry was added, -1 with no table.
  int set(HashView key, HashView value);
  // A copy of the key's value; the empty value of the value type (0, "") when
  // the key is absent; HashItem() with no table.
  HashItem get(HashView key) const;
  bool has_value(HashView value) const;
  bool has_key(HashView key) const;
  bool remove(HashView key);
  // Each fills `out` (replacing its content) with copies in visiting order
  // and returns how many; with no table they return 0 and leave `out` alone.
  int32_t keys(std::vector<HashItem>& out) const;
  // The keys of the entries whose value equals `value`.
  int32_t keys_of(HashView value, std::vector<HashItem>& out) const;
  int32_t values(std::vector<HashItem>& out) const;
  // Removes every entry; the bucket count, threshold and types stay.
  void clear();
  // The "hash" byte form (32-bit little-endian integers):
  //   "hash", key_type, value_type, n, then n pairs (key field, value field)
  //   in visiting order, then the data area.
  // An integer field holds the integer; a text or bytes field holds the
  // offset, from the start of the form, of its item in the data area. The
  // data area holds each entry's key item, then its value item: a text item
  // is the text and one zero byte, a bytes item is int32 1, int32 length and
  // the bytes. Empty with no table.
  std::string save() const;
  // Calls routine(key, value) for each entry in visiting order with views of
  // the stored keys and values (not copies), until it returns true.
  // REQUIRES: routine does not change the table.
  void for_each(const std::function<bool(HashView key, HashView value)>& routine) const;

  // 0 with no table.
  int32_t key_type() const;
  int32_t value_type() const;
  int32_t bucket_count() const;

 private:
  struct Record;
  // The shared record's reference operations; the release that brings the
  // count to 0 frees every entry, the buckets and the record.
  static void add_ref(Record* record);
  static void release_ref(Record* record);

  Record* record_ = nullptr;
};

#endif  // NOVEL_CONTAINERS_HASH_TABLE_H_
