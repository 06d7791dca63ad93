// The signals that end a run (SIGHUP, SIGINT, SIGQUIT, SIGTERM), taken by
// one thread of their own so that a run ends where it chooses: after the
// file it is writing is in place and listed, never in the middle of it.
// The run still ends by the signal, so that a shell sees 130 or 143.
#pragma once

#include <functional>

namespace brevanto::cli::interruption {

// Holds the ending signals back in the calling thread, and so in every
// thread it starts afterwards, and starts the thread that receives them.
// Call once, before any other thread is started.
void watch();

// The first ending signal received, or 0.
int received();

// Called on the receiving thread when a signal arrives, to wake the run
// wherever it waits; empty for none. The run checks received() itself.
void setListener(std::function<void()> listener);

// From now on nothing is at risk: a signal ends the program at once, and
// one that has already come ends it now.
void endAtOnce();

// Ends the program by `signal`, as if it had never been held back.
[[noreturn]] void endBySignal(int signal);

}  // namespace brevanto::cli::interruption
