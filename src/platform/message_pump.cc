#include "platform/message_pump.h"

#include <utility>

namespace {

thread_local std::function<void()> thread_pump;

}  // namespace

void register_message_pump(std::function<void()> pump) { thread_pump = std::move(pump); }

bool has_message_pump() { return static_cast<bool>(thread_pump); }

void run_message_pump() {
  if (thread_pump) thread_pump();
}
