// Work on a sequence of items by several threads, handed back in item order
// to the one thread that owns the results. The items come from a source
// that only one thread reads at a time, in order (a list of files, a stream
// of archive records), so how many there are need not be known ahead.
// Workers run at most `window` items ahead of the owner, so the items and
// results in flight are bounded by the window, never by the number of
// items. With no worker threads the owner takes and does each item itself
// when it asks for it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace brevanto::cli {

// `Task` holds one item and, once done, its result.
template <class Task>
class OrderedWorkers {
 public:
  // Fills `task` with the next item; false when there is none. Called by
  // one thread at a time, in item order.
  using Take = std::function<bool(Task& task)>;
  // Does the item in `task`, leaving its result there. Each worker thread
  // makes its own with `makeWork`, on that thread, so that what it holds (a
  // parser) is never shared.
  using Work = std::function<void(Task& task)>;

  OrderedWorkers(size_t threads, size_t window, Take take, const std::function<Work()>& makeWork)
      : window_(window < threads ? threads : window),
        take_(std::move(take)),
        slots_(window_),
        ready_(window_, false) {
    if (threads == 0) ownWork_ = makeWork();
    for (size_t i = 0; i < threads; ++i) {
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

  // The next item with its result, in item order, once it is done. False
  // after the last.
  bool next(Task& task) {
    if (ownWork_) {
      task = Task();
      if (ended_ || !take_(task)) {
        ended_ = true;
        return false;
      }
      ownWork_(task);
      return true;
    }
    std::unique_lock<std::mutex> held(lock_);
    const size_t slot = taken_ % window_;
    changed_.wait(held, [&] { return ready_[slot] || (ended_ && taken_ == total_); });
    if (!ready_[slot]) return false;
    task = std::move(slots_[slot]);
    slots_[slot] = Task();
    ready_[slot] = false;
    ++taken_;
    held.unlock();
    changed_.notify_all();
    return true;
  }

 private:
  void workUntilDone(const Work& work) {
    for (;;) {
      // Held from the claim of an index to the end of its take, so that
      // items are taken in the order of their indexes.
      std::unique_lock<std::mutex> taking(takeLock_);
      size_t index = 0;
      {
        std::unique_lock<std::mutex> held(lock_);
        changed_.wait(held, [&] { return stopped_ || ended_ || claimed_ < taken_ + window_; });
        if (stopped_ || ended_) return;
        index = claimed_;
      }
      // The slot is this worker's alone until it is marked ready: the item
      // that used it last was taken before `index` could be claimed.
      Task& task = slots_[index % window_];
      const bool more = take_(task);
      {
        const std::lock_guard<std::mutex> held(lock_);
        if (more) {
          claimed_ = index + 1;
        } else {
          task = Task();
          ended_ = true;
          total_ = index;
        }
      }
      if (!more) {
        changed_.notify_all();
        return;
      }
      taking.unlock();
      work(task);
      {
        const std::lock_guard<std::mutex> held(lock_);
        ready_[index % window_] = true;
      }
      changed_.notify_all();
    }
  }

  const size_t window_;
  const Take take_;
  std::vector<Task> slots_;  // by index modulo the window
  std::vector<bool> ready_;  // by slot: its result waits for the owner
  std::mutex takeLock_;      // held by the one worker that takes an item
  std::mutex lock_;          // guards every member below and the flags above
  std::condition_variable changed_;
  size_t claimed_ = 0;  // items taken from the source
  size_t taken_ = 0;    // results handed to the owner
  size_t total_ = 0;    // the number of items, once the source has ended
  bool ended_ = false;  // the source has no more items
  bool stopped_ = false;
  std::vector<std::thread> threads_;
  Work ownWork_;  // the owner's own, when there are no worker threads
};

}  // namespace brevanto::cli
