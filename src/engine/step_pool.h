#pragma once
// A small pool of worker threads that share the chunks of a wide step with the calling thread.
//
// The workers start at the first request that needs them and then sleep between steps; a
// request hands them a plain function pointer and a context, so a step allocates nothing.
// Each thread first takes the chunks of its own share, a contiguous run of them, so that a
// thread meets the same stretch of the field step after step and finds it in its own cache;
// a thread that is done helps with the shares of the others. Which thread takes which chunk
// is therefore left to chance: whoever needs a result that must not depend on it keeps one
// result per chunk and combines them in chunk order afterwards.
#include <array>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace kl {

inline constexpr int kMaxStepThreads = 16;

class StepPool {
 public:
  StepPool() = default;
  ~StepPool();  // stops and joins the workers
  StepPool(const StepPool&) = delete;
  StepPool& operator=(const StepPool&) = delete;

  // Calls task(context, c) once for every c = 0 .. count - 1, on `threads` threads (at most
  // kMaxStepThreads) of which the caller is one, and returns when every call has returned.
  // With threads <= 1 or a single chunk the caller makes the calls itself, in order, and no
  // worker is disturbed.
  // Not reentrant: one request at a time (the step is made on one thread).
  void Run(int threads, int count, void (*task)(void*, int), void* context);

  // The same with a callable taking the chunk number.
  template <class F>
  void ForEach(int threads, int count, F& f) {
    Run(threads, count, [](void* c, int chunk) { (*static_cast<F*>(c))(chunk); }, &f);
  }

  // Worker threads running now (the caller not counted), and threads started over the
  // pool's life: a test hook showing that steps reuse the workers.
  int Workers() const { return static_cast<int>(workers_.size()); }
  long StartedThreads() const { return started_; }

 private:
  void Resize(int workers);  // only when the requested thread count changes
  void StopWorkers();
  void WorkerLoop(int self, std::uint32_t seen);
  void TakeChunks(int self);  // self: 0 the caller, 1 .. the workers

  // The chunks of one thread's share not yet taken: next .. end - 1.
  struct alignas(64) Share {
    std::atomic<int> next{0};
    int end = 0;
  };

  std::vector<std::thread> workers_;
  int asked_ = 0;  // workers last asked for
  long started_ = 0;
  // A request: the generation changes when one is posted; the shares hand out chunk numbers;
  // `busy_` counts the workers that have not finished with it yet.
  std::atomic<std::uint32_t> generation_{0};
  std::atomic<int> busy_{0};
  std::atomic<bool> stop_{false};
  std::array<Share, kMaxStepThreads> shares_;
  int parts_ = 0;
  void (*task_)(void*, int) = nullptr;
  void* context_ = nullptr;
};

// The number of threads a step uses when asked for `requested` (0: one per CPU this process may
// run on, at most kMaxStepThreads).
int StepThreadsFor(int requested);

// The CPUs this process may run on (its affinity: what taskset, cgroups or a batch system
// granted), at least 1.
int AffinityCpus();

}  // namespace kl
