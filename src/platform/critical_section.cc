#include "platform/critical_section.h"

namespace {

// Tells the processor that this is a spin-wait loop, so that a sibling
// hardware thread (maybe the holder) gets the core's resources meanwhile.
inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

}  // namespace

void CriticalSection::enter() {
  // A lock is usually held for a few instructions, so trying again for a
  // while is cheaper than putting the thread to sleep and waking it.
  for (int32_t attempt = spin_count(); attempt > 0; --attempt) {
    if (mutex_.try_lock()) return;
    relax();
  }
  mutex_.lock();
}
