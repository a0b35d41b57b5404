#include "engine/step_pool.h"

#if __has_include(<sched.h>)
#include <sched.h>
#endif

#include <algorithm>
#include <system_error>

namespace kl {

StepPool::~StepPool() { StopWorkers(); }

void StepPool::StopWorkers() {
  if (workers_.empty()) return;
  stop_.store(true, std::memory_order_relaxed);
  generation_.fetch_add(1, std::memory_order_release);
  generation_.notify_all();
  for (std::thread& t : workers_) t.join();
  workers_.clear();
  stop_.store(false, std::memory_order_relaxed);
}

void StepPool::Resize(int workers) {
  StopWorkers();
  workers_.reserve(static_cast<size_t>(workers));
  for (int k = 0; k < workers; ++k) {
    const std::uint32_t seen = generation_.load(std::memory_order_relaxed);
    try {
      workers_.emplace_back([this, k, seen] { WorkerLoop(k + 1, seen); });
      ++started_;
    } catch (const std::system_error&) {
      break;  // fewer threads than asked: the chunks are shared among those that started
    }
  }
}

void StepPool::TakeChunks(int self) {
  for (int k = 0; k < parts_; ++k) {
    Share& share = shares_[static_cast<size_t>((self + k) % parts_)];
    for (;;) {
      const int c = share.next.fetch_add(1, std::memory_order_relaxed);
      if (c >= share.end) break;
      task_(context_, c);
    }
  }
}

void StepPool::WorkerLoop(int self, std::uint32_t seen) {
  for (;;) {
    generation_.wait(seen, std::memory_order_acquire);
    seen = generation_.load(std::memory_order_acquire);
    if (stop_.load(std::memory_order_relaxed)) return;
    if (self < parts_) TakeChunks(self);
    // The last worker out wakes the caller.
    if (busy_.fetch_sub(1, std::memory_order_acq_rel) == 1) busy_.notify_one();
  }
}

void StepPool::Run(int threads, int count, void (*task)(void*, int), void* context) {
  if (threads <= 1 || count <= 1) {
    for (int c = 0; c < count; ++c) task(context, c);
    return;
  }
  threads = std::min(threads, static_cast<int>(shares_.size()));
  if (asked_ != threads - 1) {
    asked_ = threads - 1;
    Resize(asked_);  // if fewer start, they stay fewer: no retry at every step
  }
  if (workers_.empty()) {
    for (int c = 0; c < count; ++c) task(context, c);
    return;
  }
  task_ = task;
  context_ = context;
  parts_ = Workers() + 1;
  for (int k = 0; k < parts_; ++k) {
    shares_[static_cast<size_t>(k)].next.store(static_cast<int>(static_cast<long>(count) * k / parts_),
                                               std::memory_order_relaxed);
    shares_[static_cast<size_t>(k)].end = static_cast<int>(static_cast<long>(count) * (k + 1) / parts_);
  }
  busy_.store(Workers(), std::memory_order_relaxed);
  generation_.fetch_add(1, std::memory_order_release);  // publishes the request
  generation_.notify_all();
  TakeChunks(0);
  for (int b = busy_.load(std::memory_order_acquire); b != 0; b = busy_.load(std::memory_order_acquire))
    busy_.wait(b, std::memory_order_acquire);
}

int StepThreadsFor(int requested) {
  int n = requested;
  // The affinity is read once: a step asks every time, and the answer is a system call.
  static const int cpus = AffinityCpus();
  if (n <= 0) n = cpus;
  return std::clamp(n, 1, kMaxStepThreads);
}

int AffinityCpus() {
#ifdef CPU_COUNT
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
#endif
  return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

}  // namespace kl
