#include "engine/sim_state.h"

#include <cmath>
#include <cstdlib>
#include <new>

namespace kl {

template <class T>
ZeroedBlock<T>::ZeroedBlock(size_t count) : ptr_(static_cast<T*>(std::calloc(count, sizeof(T)))) {
  if (!ptr_) throw std::bad_alloc();
}
template <class T>
void ZeroedBlock<T>::Free::operator()(T* p) const {
  std::free(p);
}
template class ZeroedBlock<FieldPoint>;
template class ZeroedBlock<double>;

FieldStores::FieldStores()
    : history_(static_cast<size_t>(kHistoryLevels) * kHistoryWidth),
      work_(3 * static_cast<size_t>(kWorkWidth)),
      density_(kWorkWidth),
      sectionU_(kSectionWidth),
      sectionE_(kSectionWidth) {}

void FieldStores::RotateWork() {
  const size_t oldPrevious = slotOffset_[0];
  slotOffset_[0] = slotOffset_[1];
  slotOffset_[1] = slotOffset_[2];
  slotOffset_[2] = oldPrevious;
}

void FieldStores::ResetWorkOrder() {
  slotOffset_[0] = 0;
  slotOffset_[1] = kWorkWidth;
  slotOffset_[2] = 2 * static_cast<size_t>(kWorkWidth);
}

const char* PrecisionName(StepPrecision precision) {
  return precision == StepPrecision::Double ? "double" : "extended";
}

bool ParsePrecision(std::string_view text, StepPrecision& precision) {
  if (text == "extended") {
    precision = StepPrecision::Extended;
  } else if (text == "double") {
    precision = StepPrecision::Double;
  } else {
    return false;
  }
  return true;
}

double TimeStepFor(double dx) { return static_cast<double>(kCourantL * dx); }

namespace {
double ReachFor(int stores, int gridSize, double halfInterval) {
  if (gridSize <= 0) return 0.0;
  const long double windows = std::nearbyint(2.0L * stores / gridSize - 1.0L);
  return static_cast<double>(windows * halfInterval);
}
}  // namespace

double FirstPhaseReach(int gridSize, double halfInterval) {
  return ReachFor(kHistoryHalf, gridSize, halfInterval);
}

double SecondPhaseReach(int gridSize, double halfInterval) {
  return ReachFor(-kWorkLo + kHistoryHalf, gridSize, halfInterval);
}

const FieldPoint* NewestLevel(const SimState& sim, int& half) {
  if (sim.PhaseTwo) {
    half = kHistoryHalf - 1 + (sim.ExtraWidth - 1);
    return sim.stores.Work(1);
  }
  half = kHistoryHalf - 1;
  return sim.stores.History(sim.LayerNow);
}

const FieldPoint* PreviousLevel(const SimState& sim) {
  return sim.PhaseTwo ? sim.stores.Work(0) : sim.stores.History(sim.LayerNow - 1);
}

bool RunInProgress(const SimState& sim) { return sim.TimeNow >= kZeroTime; }

double GridHalfInterval(const SimState& sim) {
  return RunInProgress(sim) ? sim.RunHalfInterval : sim.HalfInterval;
}

bool IsUsableHalfInterval(double halfInterval) {
  return halfInterval >= kMinHalfInterval && halfInterval <= kMaxHalfInterval;
}

void SetGrid(SimState& sim, int gridSize) {
  sim.GridSize = gridSize;
  sim.Dx = gridSize > 0 ? static_cast<double>(2.0L * sim.HalfInterval / gridSize) : 0.0;
  sim.Dt = TimeStepFor(sim.Dx);
  sim.ReachTime = FirstPhaseReach(gridSize, sim.HalfInterval);
}

}  // namespace kl
