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

std::atomic<int> firstSignal{0};
std::atomic<bool> atOnce{false};
std::mutex listenerLock;
std::function<void()>& listener() {
  static std::function<void()> callback;
  return callback;
}

sigset_t endingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kEndingSignals) sigaddset(&set, signal);
  return set;
}

void receive() {
  const sigset_t set = endingSignals();
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    int none = 0;
    firstSignal.compare_exchange_strong(none, signal);
    // Paired with endAtOnce: the signal is stored before the flag is read
    // and the flag before the signal is, so one of the two sides acts.
    if (atOnce.load()) endBySignal(firstSignal.load());
    const std::lock_guard<std::mutex> held(listenerLock);
    if (listener()) listener()();
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

void setListener(std::function<void()> callback) {
  const std::lock_guard<std::mutex> held(listenerLock);
  listener() = std::move(callback);
}

void endAtOnce() {
  atOnce.store(true);
  if (const int signal = firstSignal.load()) endBySignal(signal);
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
