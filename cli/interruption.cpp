#include "cli/interruption.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

namespace brevanto::cli::interruption {
namespace {

constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// Guards the members below. The receiving thread holds it while it ends
// the program, so no thread leaves an AtOnce scope meanwhile.
std::mutex& lock() {
  static std::mutex mutex;
  return mutex;
}
std::atomic<int> firstSignal{0};
int scopes = 0;  // AtOnce scopes alive, or more once for good
std::function<void()>& lastWords() {
  static std::function<void()> words;
  return words;
}

sigset_t endingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kEndingSignals) sigaddset(&set, signal);
  return set;
}

// With the lock held.
[[noreturn]] void endNow() {
  if (lastWords()) lastWords()();
  endBySignal(firstSignal.load());
}

void receive() {
  const sigset_t set = endingSignals();
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    const std::lock_guard<std::mutex> held(lock());
    int none = 0;
    firstSignal.compare_exchange_strong(none, signal);
    if (scopes > 0) endNow();
  }
}

}  // namespace

void watch() {
  const sigset_t set = endingSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // The receiver lives as long as the process; it holds nothing to release.
  std::thread(receive).detach();
}

int received() {
  return firstSignal.load();
}

void setLastWords(std::function<void()> words) {
  const std::lock_guard<std::mutex> held(lock());
  lastWords() = std::move(words);
}

AtOnce::AtOnce() {
  const std::lock_guard<std::mutex> held(lock());
  ++scopes;
  if (firstSignal.load() != 0) endNow();
}

AtOnce::~AtOnce() {
  const std::lock_guard<std::mutex> held(lock());
  --scopes;
}

void endAtOnce() {
  const std::lock_guard<std::mutex> held(lock());
  ++scopes;
  if (firstSignal.load() != 0) endNow();
}

void endBySignal(int signal) {
  ::signal(signal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);  // only if the signal did not end the program
}

}  // namespace brevanto::cli::interruption
