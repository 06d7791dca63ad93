// Work on items 0..total-1 by several threads, handed back in item order to
// the one thread that owns the results. Workers run at most `window` items
// ahead of the owner, so the results waiting for it are bounded by the
// window, never by the number of items. With no worker threads the owner
// does each item itself when it asks for it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace brevanto::cli {

template <class Result>
class OrderedWorkers {
 public:
  // Does item `index`, filling `result`. Each worker thread makes its own
  // with `makeWork`, on that thread, so that what it holds (a parser) is
  // never shared.
  using Work = std::function<void(size_t index, Result& result)>;

  OrderedWorkers(size_t total, size_t threads, size_t window, std::function<Work()> makeWork)
      : total_(total), window_(window < threads ? threads : window), slots_(window_), ready_(window_, false) {
    if (threads == 0) ownWork_ = makeWork();
    for (size_t i = 0; i < threads && i < total; ++i) {
      threads_.emplace_back([this, makeWork] {
        const Work work = makeWork();
        workUntilDone(work);
      });
    }
  }

  ~OrderedWorkers() {
    {
      const std::lock_guard<std::mutex> held(lock_);
      stopped_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  OrderedWorkers(const OrderedWorkers&) = delete;
  OrderedWorkers& operator=(const OrderedWorkers&) = delete;

  // The next item's result, in item order, once it is done. False when
  // every result was taken.
  bool next(Result& result) {
    if (ownWork_) {
      if (taken_ == total_) return false;
      ownWork_(taken_++, result);
      return true;
    }
    std::unique_lock<std::mutex> held(lock_);
    if (taken_ == total_) return false;
    const size_t slot = taken_ % window_;
    changed_.wait(held, [&] { return ready_[slot]; });
    result = std::move(slots_[slot]);
    slots_[slot] = Result();
    ready_[slot] = false;
    ++taken_;
    held.unlock();
    changed_.notify_all();
    return true;
  }

 private:
  void workUntilDone(const Work& work) {
    std::unique_lock<std::mutex> held(lock_);
    for (;;) {
      changed_.wait(held, [&] { return stopped_ || claimed_ == total_ || claimed_ < taken_ + window_; });
      if (stopped_ || claimed_ == total_) return;
      const size_t index = claimed_++;
      // The slot is this worker's alone until it is marked ready: the item
      // that used it last was taken before `index` could be claimed.
      held.unlock();
      work(index, slots_[index % window_]);
      held.lock();
      ready_[index % window_] = true;
      changed_.notify_all();
    }
  }

  const size_t total_;
  const size_t window_;
  std::vector<Result> slots_;  // by index modulo the window
  std::vector<bool> ready_;    // by slot: its result waits for the owner
  std::mutex lock_;            // guards every member below and the flags above
  std::condition_variable changed_;
  size_t claimed_ = 0;  // items handed to workers
  size_t taken_ = 0;    // results handed to the owner
  bool stopped_ = false;
  std::vector<std::thread> threads_;
  Work ownWork_;  // the owner's own, when there are no worker threads
};

}  // namespace brevanto::cli
