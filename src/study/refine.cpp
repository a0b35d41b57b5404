#include "study/refine.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kl {

std::string RunClassName(const RunClass& c) {
  switch (c.kind) {
    case RunClass::Capture: return "capture";
    case RunClass::Escape: return "escape" + std::to_string(c.bounces);
    case RunClass::Through: return "through";
    default: return "none";
  }
}

std::optional<RunClass> ParseRunClass(const std::string& text) {
  if (text == "none") return RunClass{RunClass::None, 0};
  if (text == "capture") return RunClass{RunClass::Capture, 0};
  if (text == "through") return RunClass{RunClass::Through, 0};
  const std::string prefix = "escape";
  if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0 || text.size() > prefix.size() + 6)
    return std::nullopt;
  int bounces = 0;
  const char* first = text.data() + prefix.size();
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, bounces);
  if (ec != std::errc() || end != last || bounces < 1 || *first == '0') return std::nullopt;
  return RunClass{RunClass::Escape, bounces};
}

double RoundToScanDigits(long double v) {
  char buf[64];
  const auto end = std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::general, 12).ptr;
  double rounded = 0;
  std::from_chars(buf, end, rounded);
  return rounded;
}

double Midpoint(double a, double b) {
  return RoundToScanDigits(0.5L * (static_cast<long double>(a) + static_cast<long double>(b)));
}

std::vector<ScanEdge> EdgesBetween(const std::vector<std::pair<double, RunClass>>& runs) {
  std::vector<ScanEdge> edges;
  for (size_t k = 1; k < runs.size(); ++k)
    if (!(runs[k - 1].second == runs[k].second))
      edges.push_back(ScanEdge{runs[k - 1].first, runs[k].first, runs[k - 1].second, runs[k].second});
  return edges;
}

RefineResult RefineEdges(std::vector<ScanEdge> edges, double tolerance, const RoundRunner& runRound,
                         const std::function<void(size_t)>& onRound) {
  RefineResult result;
  std::sort(edges.begin(), edges.end(), [](const ScanEdge& a, const ScanEdge& b) { return a.vLow < b.vLow; });
  // An edge is open while it is at least `tolerance` wide and its midpoint is a new velocity.
  auto open = [&](const ScanEdge& e) {
    if (!(e.vHigh - e.vLow >= tolerance)) return false;
    const double m = Midpoint(e.vLow, e.vHigh);
    return m > e.vLow && m < e.vHigh;
  };
  for (;;) {
    std::vector<size_t> queued;
    std::vector<double> velocities;
    for (size_t k = 0; k < edges.size(); ++k)
      if (open(edges[k])) {
        queued.push_back(k);
        velocities.push_back(Midpoint(edges[k].vLow, edges[k].vHigh));
      }
    if (queued.empty()) break;
    if (onRound) onRound(velocities.size());
    const std::vector<std::optional<RunClass>> classes = runRound(velocities);
    ++result.rounds;
    std::vector<ScanEdge> next;
    size_t q = 0;
    for (size_t k = 0; k < edges.size(); ++k) {
      if (q >= queued.size() || queued[q] != k) {
        next.push_back(edges[k]);
        continue;
      }
      const double m = velocities[q];
      const std::optional<RunClass> c = q < classes.size() ? classes[q] : std::nullopt;
      ++q;
      if (!c) {  // not run to its end: the edge stays as it was
        result.stopped = true;
        next.push_back(edges[k]);
        continue;
      }
      result.runs.emplace_back(m, *c);
      const ScanEdge& e = edges[k];
      if (*c == e.low) {
        next.push_back(ScanEdge{m, e.vHigh, *c, e.high});
      } else if (*c == e.high) {
        next.push_back(ScanEdge{e.vLow, m, e.low, *c});
      } else {  // a third class between: two edges, each followed
        next.push_back(ScanEdge{e.vLow, m, e.low, *c});
        next.push_back(ScanEdge{m, e.vHigh, *c, e.high});
      }
    }
    edges = std::move(next);
    if (result.stopped) break;
  }
  result.edges = std::move(edges);
  return result;
}

std::optional<ScanEdge> CriticalEdge(const std::vector<std::pair<double, RunClass>>& runs) {
  if (runs.empty() || !PassesAtOnce(runs.back().second)) return std::nullopt;
  const RunClass fastest = runs.back().second;
  for (size_t k = runs.size() - 1; k-- > 0;)
    if (!(runs[k].second == fastest))
      return ScanEdge{runs[k].first, runs[k + 1].first, runs[k].second, runs[k + 1].second};
  return std::nullopt;
}

constexpr double kFinestRelativeTolerance = 1e-12;

bool RefinableTolerance(double tolerance, double fastest) { return tolerance >= kFinestRelativeTolerance * fastest; }

std::string TooFineMessage() {
  return "the tolerance must be at least 1e-12 times the largest |v| (velocities have 12 significant digits)";
}

}  // namespace kl
