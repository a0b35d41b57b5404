#include "study/scan_runs.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "base/text_out.h"

namespace kl {

ScanResult RunScanRequest(const ScanRequest& request, const std::atomic<bool>& stop, const ScanCallbacks& callbacks) {
  const std::vector<double>& mine = request.velocities;
  const size_t jobs = std::clamp<size_t>(request.jobs, 1, std::max<size_t>(mine.size(), 1));

  std::vector<std::optional<CollisionRun>> slots(mine.size());
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex mutex;  // guards the slots, the counts, the callbacks and `error`
  size_t reported = 0, done = 0;
  std::string error;
  const auto start = std::chrono::steady_clock::now();
  const CollisionSetup& setup = request.setup;

  auto worker = [&] {
    for (;;) {
      if (stop.load() || failed.load()) return;
      const size_t k = next.fetch_add(1);
      if (k >= mine.size()) return;
      const double v = mine[k];
      CollisionRun run;
      try {
        run = RunCollision(setup, v, stop);
      } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(mutex);
        if (error.empty()) error = "the run at v = " + Shortest(v) + " failed: " + e.what();
        failed = true;
        return;
      }
      if (!run.finished) return;  // stopped on the way: not a result
      if (!request.keepTraces) {
        std::vector<double>().swap(run.time);  // the memory too: a scan keeps thousands of runs
        std::vector<double>().swap(run.centre);
      } else {
        ResampleTrace(run, setup.tMax);
      }
      std::lock_guard<std::mutex> lock(mutex);
      slots[k] = std::move(run);
      ++done;
      for (; reported < slots.size() && slots[reported]; ++reported)
        if (callbacks.finished) callbacks.finished(*slots[reported]);
      if (callbacks.progress)
        callbacks.progress(ScanProgress{
            done, mine.size(), std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()});
    }
  };
  std::vector<std::thread> threads;
  for (size_t j = 1; j < jobs; ++j) threads.emplace_back(worker);
  worker();
  for (std::thread& t : threads) t.join();

  ScanResult result;
  result.error = error;
  for (size_t k = 0; k < slots.size(); ++k) {
    if (!slots[k]) continue;
    if (k >= reported && callbacks.finished) callbacks.finished(*slots[k]);  // after a gap left by a stop
    result.runs.push_back(std::move(*slots[k]));
  }
  return result;
}
}  // namespace kl
