#include "containers/hash_table.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace {

// A stored key or value: the integer itself, or an owned block holding a
// text and its zero byte, or a bytes header (int32 1, int32 length) and the
// bytes. Which one is decided by the table's type code.
union Stored {
  int32_t integer;
  char* block;
};

struct Node {
  uint32_t hash;  // full hash of the key, compared before the key itself
  Stored key;
  Stored value;
  Node* next;
};

constexpr size_t kBytesHeader = 8;

std::string_view text_part(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

// The view of a caller's item as the table's type reads it.
std::string_view read_bytes(int32_t type, HashView item) {
  return type == kHashText ? text_part(item.bytes()) : item.bytes();
}

// Byte keys hash over the first `length` bytes of their stored form, header
// included; equal byte arrays still hash alike, which is all a lookup needs.
uint32_t bytes_hash(std::string_view bytes) {
  const uint32_t length = static_cast<uint32_t>(bytes.size());
  const unsigned char header[kBytesHeader] = {1,
                                              0,
                                              0,
                                              0,
                                              static_cast<unsigned char>(length),
                                              static_cast<unsigned char>(length >> 8),
                                              static_cast<unsigned char>(length >> 16),
                                              static_cast<unsigned char>(length >> 24)};
  uint32_t h = 0;
  for (size_t i = bytes.size(); i-- > 0;) {
    h = h * 31 +
        (i < kBytesHeader ? header[i] : static_cast<unsigned char>(bytes[i - kBytesHeader]));
  }
  return h;
}

uint32_t string_hash(int32_t type, HashView item) {
  switch (type) {
    case kHashText:
      return table_hash(text_part(item.bytes()));
    case kHashBytes:
      return bytes_hash(item.bytes());
    default:
      return 0;
  }
}

uint32_t hash_of(int32_t type, HashView item) {
  return type == kHashInteger ? static_cast<uint32_t>(item.integer()) : string_hash(type, item);
}

Stored store(int32_t type, HashView item) {
  Stored stored{};
  if (type == kHashInteger) {
    stored.integer = item.integer();
  } else if (type == kHashText) {
    const std::string_view text = text_part(item.bytes());
    stored.block = new char[text.size() + 1];
    text.copy(stored.block, text.size());
    stored.block[text.size()] = '\0';
  } else if (type == kHashBytes) {
    const std::string_view bytes = item.bytes();
    const int32_t header[2] = {1, static_cast<int32_t>(bytes.size())};
    stored.block = new char[kBytesHeader + bytes.size()];
    std::memcpy(stored.block, header, kBytesHeader);
    bytes.copy(stored.block + kBytesHeader, bytes.size());
  }
  return stored;
}

void release(int32_t type, Stored stored) {
  if (type == kHashText || type == kHashBytes) delete[] stored.block;
}

HashView view_of(int32_t type, Stored stored) {
  switch (type) {
    case kHashInteger:
      return HashView(stored.integer);
    case kHashText:
      return HashView(std::string_view(stored.block));
    case kHashBytes: {
      int32_t length;
      std::memcpy(&length, stored.block + sizeof length, sizeof length);
      return HashView(std::string_view(stored.block + kBytesHeader, static_cast<size_t>(length)));
    }
    default:
      return HashView();
  }
}

bool equal(int32_t type, Stored stored, HashView item) {
  switch (type) {
    case kHashInteger:
      return stored.integer == item.integer();
    case kHashText:
    case kHashBytes:
      return view_of(type, stored).bytes() == read_bytes(type, item);
    default:
      return false;
  }
}

HashItem copy_out_string(int32_t type, Stored stored) {
  return HashItem(type, 0, std::string(view_of(type, stored).bytes()));
}

// Kept small so that it inlines: handing out an integer needs no string work.
inline HashItem copy_out(int32_t type, Stored stored) {
  return type == kHashInteger ? HashItem(type, stored.integer) : copy_out_string(type, stored);
}

int32_t bucket_index(uint32_t hash, int32_t bucket_count) {
  return static_cast<int32_t>((hash & 0x7FFFFFFFu) % static_cast<uint32_t>(bucket_count));
}

int32_t threshold_for(float load_factor, int32_t bucket_count) {
  const double threshold = static_cast<double>(load_factor) * bucket_count;
  const double limit = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(threshold < limit ? threshold : limit);
}

struct Table {
  Node** buckets = nullptr;
  int32_t bucket_count = 0;
  int32_t count = 0;
  int32_t threshold = 0;
  float load_factor = 0;
  int32_t key_type = 0;
  int32_t value_type = 0;

  Node* find(uint32_t hash, HashView key) const {
    for (Node* node = buckets[bucket_index(hash, bucket_count)]; node; node = node->next) {
      if (node->hash == hash && equal(key_type, node->key, key)) return node;
    }
    return nullptr;
  }

  // find() for lookups that need no hash afterwards. An integer key is its
  // own hash, so one comparison settles each node; text and byte keys take
  // the general path out of line, which keeps this one short enough for the
  // processor to overlap many integer lookups (the thread pool's).
  Node* lookup(HashView key) const {
    if (key_type != kHashInteger) return lookup_string(key);
    const auto hash = static_cast<uint32_t>(key.integer());
    Node* node = buckets[bucket_index(hash, bucket_count)];
    while (node && node->hash != hash) node = node->next;
    return node;
  }

  [[gnu::noinline]] Node* lookup_string(HashView key) const {
    return find(hash_of(key_type, key), key);
  }

  void free_node(Node* node) {
    release(key_type, node->key);
    release(value_type, node->value);
    delete node;
  }

  void free_nodes() {
    for (int32_t i = 0; i < bucket_count; ++i) {
      for (Node* node = buckets[i]; node;) {
        Node* next = node->next;
        free_node(node);
        node = next;
      }
      buckets[i] = nullptr;
    }
    count = 0;
  }

  // Relinks every node into 2n + 1 buckets. A table that cannot grow (the
  // count would overflow or memory is short) keeps its buckets and chains
  // longer, which costs speed but loses nothing.
  void grow() {
    const int64_t new_count = 2 * static_cast<int64_t>(bucket_count) + 1;
    if (new_count > std::numeric_limits<int32_t>::max()) return;
    auto** new_buckets =
        static_cast<Node**>(std::calloc(static_cast<size_t>(new_count), sizeof(Node*)));
    if (new_buckets == nullptr) return;
    for (int32_t i = 0; i < bucket_count; ++i) {
      for (Node* node = buckets[i]; node;) {
        Node* next = node->next;
        Node*& head = new_buckets[bucket_index(node->hash, static_cast<int32_t>(new_count))];
        node->next = head;
        head = node;
        node = next;
      }
    }
    std::free(buckets);
    buckets = new_buckets;
    bucket_count = static_cast<int32_t>(new_count);
    threshold = threshold_for(load_factor, bucket_count);
  }

  // Calls visit(node) in visiting order until it returns true.
  template <typename Visit>
  void visit(Visit&& visit_node) const {
    for (int32_t i = 0; i < bucket_count; ++i) {
      for (Node* node = buckets[i]; node; node = node->next) {
        if (visit_node(node)) return;
      }
    }
  }

  // Replaces `out` with copies of the keys (or values) of every entry, or of
  // the entries whose value equals *match, in visiting order.
  int32_t collect(bool want_keys, const HashView* match, std::vector<HashItem>& out) const {
    out.clear();
    if (match == nullptr) out.reserve(static_cast<size_t>(count));
    visit([&](const Node* node) {
      if (match == nullptr || equal(value_type, node->value, *match)) {
        out.push_back(want_keys ? copy_out(key_type, node->key)
                                : copy_out(value_type, node->value));
      }
      return false;
    });
    return static_cast<int32_t>(out.size());
  }
};

}  // namespace

// The shared record every copy of a HashTable object points at.
struct HashTable::Record {
  std::atomic<int32_t> references{1};
  Table table;
};

uint32_t table_hash(std::string_view bytes) {
  uint32_t h = 0;
  for (size_t i = bytes.size(); i-- > 0;) h = h * 31 + static_cast<unsigned char>(bytes[i]);
  return h;
}

void HashTable::add_ref(Record* record) {
  if (record) record->references.fetch_add(1, std::memory_order_relaxed);
}

void HashTable::release_ref(Record* record) {
  if (record == nullptr || record->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  record->table.free_nodes();
  std::free(record->table.buckets);
  delete record;
}

HashTable::HashTable(const HashTable& other) : record_(other.record_) { add_ref(record_); }

HashTable& HashTable::operator=(const HashTable& other) {
  add_ref(other.record_);
  release_ref(record_);
  record_ = other.record_;
  return *this;
}

HashTable::HashTable(HashTable&& other) noexcept : record_(std::exchange(other.record_, nullptr)) {}

HashTable& HashTable::operator=(HashTable&& other) noexcept {
  if (this != &other) {
    release_ref(record_);
    record_ = std::exchange(other.record_, nullptr);
  }
  return *this;
}

HashTable::~HashTable() { release_ref(record_); }

void HashTable::close() { release_ref(std::exchange(record_, nullptr)); }

bool HashTable::create(int32_t key_type, int32_t value_type, int32_t bucket_count,
                       float load_factor) {
  // A table without buckets has nowhere to file a key, so 0 is refused like
  // a negative count.
  if (bucket_count <= 0 || !(load_factor > 0)) return false;
  auto** buckets =
      static_cast<Node**>(std::calloc(static_cast<size_t>(bucket_count), sizeof(Node*)));
  if (buckets == nullptr) return false;
  auto* record = new Record;
  record->table.buckets = buckets;
  record->table.bucket_count = bucket_count;
  record->table.threshold = threshold_for(load_factor, bucket_count);
  record->table.load_factor = load_factor;
  record->table.key_type = key_type;
  record->table.value_type = value_type;
  release_ref(record_);
  record_ = record;
  return true;
}

int32_t HashTable::count() const { return record_ ? record_->table.count : 0; }

int HashTable::set(HashView key, HashView value) {
  if (record_ == nullptr) return -1;
  Table& table = record_->table;
  const uint32_t hash = hash_of(table.key_type, key);
  if (Node* node = table.find(hash, key)) {
    const Stored replacement = store(table.value_type, value);
    release(table.value_type, node->value);
    node->value = replacement;
    return 1;
  }
  if (table.count >= table.threshold) table.grow();
  Node*& head = table.buckets[bucket_index(hash, table.bucket_count)];
  head = new Node{hash, store(table.key_type, key), store(table.value_type, value), head};
  ++table.count;
  return 0;
}

HashItem HashTable::get(HashView key) const {
  if (record_ == nullptr) return HashItem();
  const Table& table = record_->table;
  if (const Node* node = table.lookup(key)) return copy_out(table.value_type, node->value);
  return HashItem(table.value_type, 0, std::string());
}

bool HashTable::has_value(HashView value) const {
  if (record_ == nullptr) return false;
  const Table& table = record_->table;
  bool found = false;
  table.visit(
      [&](const Node* node) { return found = equal(table.value_type, node->value, value); });
  return found;
}

bool HashTable::has_key(HashView key) const {
  if (record_ == nullptr) return false;
  const Table& table = record_->table;
  return table.lookup(key) != nullptr;
}

bool HashTable::remove(HashView key) {
  if (record_ == nullptr) return false;
  Table& table = record_->table;
  const uint32_t hash = hash_of(table.key_type, key);
  for (Node** link = &table.buckets[bucket_index(hash, table.bucket_count)]; *link;
       link = &(*link)->next) {
    Node* node = *link;
    if (node->hash == hash && equal(table.key_type, node->key, key)) {
      *link = node->next;
      --table.count;
      table.free_node(node);
      return true;
    }
  }
  return false;
}

int32_t HashTable::keys(std::vector<HashItem>& out) const {
  return record_ ? record_->table.collect(true, nullptr, out) : 0;
}

int32_t HashTable::keys_of(HashView value, std::vector<HashItem>& out) const {
  return record_ ? record_->table.collect(true, &value, out) : 0;
}

int32_t HashTable::values(std::vector<HashItem>& out) const {
  return record_ ? record_->table.collect(false, nullptr, out) : 0;
}

void HashTable::clear() {
  if (record_) record_->table.free_nodes();
}

void HashTable::for_each(const std::function<bool(HashView key, HashView value)>& routine) const {
  if (record_ == nullptr) return;
  const Table& table = record_->table;
  table.visit([&](const Node* node) {
    return routine(view_of(table.key_type, node->key), view_of(table.value_type, node->value));
  });
}

int32_t HashTable::key_type() const { return record_ ? record_->table.key_type : 0; }

int32_t HashTable::value_type() const { return record_ ? record_->table.value_type : 0; }

int32_t HashTable::bucket_count() const { return record_ ? record_->table.bucket_count : 0; }
