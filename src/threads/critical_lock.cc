#include "threads/critical_lock.h"

#include <new>

#include "platform/critical_section.h"
#include "platform/heap_block.h"

CriticalLock::CriticalLock() : section_(nullptr) {
  // Without memory for its state the lock stays null and does nothing,
  // rather than initialising a section at a null address.
  void* block = heap_block_alloc(sizeof(CriticalSection));
  if (block != nullptr) section_ = new (block) CriticalSection(kDefaultSpinCount);
}

CriticalLock::~CriticalLock() {
  if (section_ == nullptr) return;
  section_->~CriticalSection();
  heap_block_free(section_);
}

void CriticalLock::set_spin_count(int32_t n) {
  if (section_ != nullptr) section_->set_spin_count(n < 0 ? kDefaultSpinCount : n);
}

void CriticalLock::enter() {
  if (section_ != nullptr) section_->enter();
}

void CriticalLock::leave() {
  if (section_ != nullptr) section_->leave();
}

bool CriticalLock::try_enter() { return section_ != nullptr && section_->try_enter(); }

int32_t CriticalLock::spin_count() const {
  return section_ == nullptr ? 0 : section_->spin_count();
}
