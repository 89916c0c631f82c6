// AtomicInteger, a signed 32-bit counter whose increment, decrement, add and
// compare_exchange are single atomic steps that may race freely. The thread
// pool counts its running jobs with one.
//
// set() is a read followed by a separate store, not one atomic step: use it
// only where no other thread changes the value at the same time.
#ifndef NOVEL_THREADS_ATOMIC_INTEGER_H_
#define NOVEL_THREADS_ATOMIC_INTEGER_H_

#include <atomic>
#include <cstdint>

class AtomicInteger {
 public:
  AtomicInteger() = default;
  AtomicInteger(const AtomicInteger&) = delete;
  AtomicInteger& operator=(const AtomicInteger&) = delete;

  // Stores `v`; answers the value before.
  int32_t set(int32_t v) {
    const int32_t previous = value_.load();
    value_.store(v);
    return previous;
  }
  // Answer the new value; like the add itself, they wrap around at the ends
  // of the 32-bit range.
  int32_t increment() { return wrap(value_.fetch_add(1), 1); }
  int32_t decrement() { return wrap(value_.fetch_sub(1), -1); }
  // Answers the value before the addition.
  int32_t add(int32_t delta) { return value_.fetch_add(delta); }
  int32_t get() const { return value_.load(); }
  // The value becomes `exchange` only when it equalled `comparand`; answers
  // the value before the call either way.
  int32_t compare_exchange(int32_t comparand, int32_t exchange) {
    value_.compare_exchange_strong(comparand, exchange);
    return comparand;
  }

 private:
  static int32_t wrap(int32_t value, int32_t delta) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(delta));
  }

  std::atomic<int32_t> value_{0};
};

#endif  // NOVEL_THREADS_ATOMIC_INTEGER_H_
