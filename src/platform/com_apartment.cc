#include "platform/com_apartment.h"

namespace {

thread_local int open_apartments = 0;

}  // namespace

void open_com_apartment(bool /*multithreaded*/) { ++open_apartments; }

void close_com_apartment() {
  if (open_apartments > 0) --open_apartments;
}

int com_apartment_depth() { return open_apartments; }
