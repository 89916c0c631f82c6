// Per-thread component-library set-up. Nothing on this platform needs it, so
// it only counts, per thread, how many set-ups are open: code that must
// balance its set-up and release can be checked by that count.
//
// Every function acts on the calling thread.
#ifndef NOVEL_PLATFORM_COM_APARTMENT_H_
#define NOVEL_PLATFORM_COM_APARTMENT_H_

// Opens a set-up on the calling thread; `multithreaded` picks the kind the
// thread joins and is not otherwise used here.
void open_com_apartment(bool multithreaded);
// Closes the calling thread's most recent set-up, if any.
void close_com_apartment();
// Set-ups open on the calling thread.
int com_apartment_depth();

#endif  // NOVEL_PLATFORM_COM_APARTMENT_H_
