// The calling thread's message pump: a window toolkit registers, on its own
// thread, a routine that dispatches every event queued for that thread, and
// timed waits on that thread (pump_wait) run it so that the window stays
// responsive while they wait.
//
// A thread that has registered a pump counts as a GUI thread; any other
// thread has nothing to pump. Every function acts on the calling thread only.
#ifndef NOVEL_PLATFORM_MESSAGE_PUMP_H_
#define NOVEL_PLATFORM_MESSAGE_PUMP_H_

#include <functional>

// Installs `pump` for the calling thread, replacing any earlier one; an empty
// function removes it.
void register_message_pump(std::function<void()> pump);
// Whether the calling thread has registered a pump.
bool has_message_pump();
// Runs the calling thread's pump once, if it has one.
void run_message_pump();

#endif  // NOVEL_PLATFORM_MESSAGE_PUMP_H_
