// A queue of job packets with a blocking take and a time-out: the thread
// pool's workers wait on it for work. Each packet keeps the routine handle and
// the job id it was posted with, and packets come out in posting order.
// Closing the queue drops every packet it still holds, wakes every waiting
// taker and refuses later posts.
//
// Safe to use from any thread.
#ifndef NOVEL_PLATFORM_COMPLETION_QUEUE_H_
#define NOVEL_PLATFORM_COMPLETION_QUEUE_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

struct CompletionPacket {
  int32_t routine = 0;  // a routine handle; 0 or less carries no job
  int32_t id = 0;
};

class CompletionQueue {
 public:
  // False when the queue is closed; the packet is then dropped.
  bool post(const CompletionPacket& packet);
  // Waits up to `timeout_ms` for a packet and takes it. False on time-out,
  // and at once on a closed queue.
  bool take(int64_t timeout_ms, CompletionPacket* packet);
  void close();
  size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<CompletionPacket> packets_;  // guarded by mutex_
  bool closed_ = false;                   // guarded by mutex_
};

#endif  // NOVEL_PLATFORM_COMPLETION_QUEUE_H_
