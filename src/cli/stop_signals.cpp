#include "cli/stop_signals.h"

namespace kl {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the stop flag is set from a signal handler");
std::atomic<bool> gStopRequested{false};
std::atomic<int> gStopSignal{0};

void OnStopSignal(int signal) {
  gStopSignal.store(signal);
  gStopRequested.store(true);
}

}  // namespace

StopOnSignals::StopOnSignals() {
  gStopRequested = false;
  gStopSignal = 0;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, &oldInt_);
  sigaction(SIGTERM, &action, &oldTerm_);
}

StopOnSignals::~StopOnSignals() {
  sigaction(SIGINT, &oldInt_, nullptr);
  sigaction(SIGTERM, &oldTerm_, nullptr);
}

const std::atomic<bool>& StopOnSignals::Flag() const { return gStopRequested; }

// A stop that ended the work (a read cut short included) reads as the signal's status; a write
// that failed (1) is told as it is.
int StopOnSignals::Status(int status) const {
  return Stopped() && status != 1 ? 128 + gStopSignal.load() : status;
}

}  // namespace kl
