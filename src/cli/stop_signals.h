#pragma once
// Ctrl-C and SIGTERM for the runner's long work: while a StopOnSignals lives, the first of them
// sets the stop flag, so the work ends at its next check and writes what it has; the handler
// then reverts to the default, so a second one ends the program at once. The handlers that
// were there before are put back when it goes.
#include <signal.h>

#include <atomic>

namespace kl {

class StopOnSignals {
 public:
  StopOnSignals();
  ~StopOnSignals();
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

  // The flag the handler sets, for the work to check.
  const std::atomic<bool>& Flag() const;
  bool Stopped() const { return Flag().load(); }
  // 128 + the signal's number once stopped (130 for Ctrl-C, 143 for SIGTERM), unless the work
  // failed to write (1); else `status`.
  int Status(int status) const;

 private:
  struct sigaction oldInt_ {}, oldTerm_{};
};

}  // namespace kl
