#pragma once
// The few latest values made for their keys, shared between threads: what every run of a scan
// would otherwise make again (a model's static kink, the family's profile table).
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>

namespace kl {

template <class Key, class Value, size_t kKept = 8>
class KeptFew {
 public:
  // The value kept for `key`, or `make()`'s, kept from now on. Two threads that ask for a new
  // key at once may both make it; either value serves.
  template <class Make>
  std::shared_ptr<const Value> Get(const Key& key, Make make) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      for (const auto& [k, v] : kept_)
        if (k == key) return v;
    }
    std::shared_ptr<const Value> value = make();
    const std::lock_guard<std::mutex> lock(mutex_);
    kept_.emplace_back(key, value);
    if (kept_.size() > kKept) kept_.pop_front();
    return value;
  }

 private:
  std::mutex mutex_;
  std::deque<std::pair<Key, std::shared_ptr<const Value>>> kept_;
};

}  // namespace kl
