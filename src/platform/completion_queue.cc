#include "platform/completion_queue.h"

#include <chrono>

bool CompletionQueue::post(const CompletionPacket& packet) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    packets_.push_back(packet);
  }
  arrived_.notify_one();
  return true;
}

bool CompletionQueue::take(int64_t timeout_ms, CompletionPacket* packet) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool ready = arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                       [this] { return closed_ || !packets_.empty(); });
  if (!ready || closed_) return false;
  *packet = packets_.front();
  packets_.pop_front();
  return true;
}

void CompletionQueue::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    packets_.clear();
  }
  arrived_.notify_all();
}

size_t CompletionQueue::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return packets_.size();
}
