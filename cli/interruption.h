// The signals that end a run (SIGHUP, SIGINT, SIGQUIT, SIGTERM), taken by
// one thread of their own so that a run ends where nothing is at risk:
// never between writing a file and listing it. The run still ends by the
// signal, so that a shell sees 130 or 143.
#pragma once

#include <functional>

namespace brevanto::cli::interruption {

// Holds the ending signals back in the calling thread, and so in every
// thread it starts afterwards, and starts the thread that receives them.
// Call once, before any other thread is started.
void watch();

// The first ending signal received, or 0.
int received();

// What is said and done before a signal ends the program: it runs on the
// receiving thread while the thread that set it is inside an AtOnce
// scope, or on that thread itself when it enters one after a signal.
// Empty for nothing.
void setLastWords(std::function<void()> words);

// While one exists nothing is at risk: a signal ends the program at once,
// after the last words, and one that came before ends it on entry. Outside
// every such scope a signal only waits, to be acted on at the next entry.
class AtOnce {
 public:
  AtOnce();
  ~AtOnce();
  AtOnce(const AtOnce&) = delete;
  AtOnce& operator=(const AtOnce&) = delete;
};

// From now on the program is in an AtOnce scope for good.
void endAtOnce();

// Ends the program by `signal`, as if it had never been held back.
[[noreturn]] void endBySignal(int signal);

}  // namespace brevanto::cli::interruption
