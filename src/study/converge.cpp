#include "study/converge.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "base/text_out.h"

namespace kl {
namespace {

double Middle(const ScanEdge& e) { return 0.5 * (e.vLow + e.vHigh); }

bool SamePair(const RunClass& low1, const RunClass& high1, const RunClass& low2, const RunClass& high2) {
  return low1 == low2 && high1 == high2;
}

// The velocity at dx -> 0 from grids c and f (nc < nf) for an error proportional to dx^2.
// Multiplied before divided, so that exact inputs on power-of-two grids stay exact.
double Richardson(double vc, int nc, double vf, int nf) {
  const double c2 = static_cast<double>(nc) * nc, f2 = static_cast<double>(nf) * nf;
  return vf + (vf - vc) * c2 / (f2 - c2);
}

void Extrapolate(const std::vector<int>& grids, ConvergedEdge& row) {
  for (const std::optional<double>& v : row.v)
    if (!v) return;
  const size_t f = grids.size() - 1;
  size_t c = f;
  while (c > 0 && grids[c] == grids[f]) --c;
  if (grids[c] == grids[f]) return;  // every grid the same size
  const double v = Richardson(*row.v[c], grids[c], *row.v[f], grids[f]);
  // The bisection leaves each velocity within half its bracket; the extrapolation carries
  // those halves with the weights of the two grids.
  const double c2 = static_cast<double>(grids[c]) * grids[c], f2 = static_cast<double>(grids[f]) * grids[f];
  const double weight = c2 / (f2 - c2);
  const double bracket = (1 + weight) * row.halfWidth[f].value_or(0) + weight * row.halfWidth[c].value_or(0);
  double error = std::max(std::fabs(v - *row.v[f]), bracket);
  size_t b = 1;
  while (grids[b] == grids[0]) ++b;  // exists: the grids are not all the same
  if (!(b == f && c == 0)) error = std::max(error, std::fabs(v - Richardson(*row.v[0], grids[0], *row.v[b], grids[b])));
  row.extrapolated = v;
  row.error = error;
}

std::string Digits(double v, int significant) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, significant).ptr);
}

}  // namespace

std::vector<ConvergedEdge> ConvergeEdges(const std::vector<int>& grids,
                                         const std::vector<std::vector<ScanEdge>>& edges, double window) {
  if (grids.size() != edges.size()) throw std::invalid_argument("an edge list per grid is needed");
  for (size_t i = 0; i < grids.size(); ++i) {
    if (grids[i] <= 0) throw std::invalid_argument("grid sizes must be positive");
    if (i > 0 && grids[i] < grids[i - 1]) throw std::invalid_argument("grid sizes must not decrease");
  }
  const size_t n = grids.size();
  std::vector<ConvergedEdge> rows;
  std::vector<double> at;  // per row, its velocity on the coarsest grid matched so far
  const double inf = std::numeric_limits<double>::infinity();
  for (size_t i = n; i-- > 0;) {
    const std::vector<ScanEdge>& list = edges[i];
    const size_t existing = rows.size();
    std::vector<int> claims(existing, 0);
    std::vector<std::optional<size_t>> partner(list.size());
    for (size_t j = 0; j < list.size(); ++j) {
      const ScanEdge& e = list[j];
      const double v = Middle(e);
      double edgeGap = inf;
      for (size_t j2 = 0; j2 < list.size(); ++j2)
        if (j2 != j && SamePair(list[j2].low, list[j2].high, e.low, e.high))
          edgeGap = std::min(edgeGap, std::fabs(Middle(list[j2]) - v));
      for (size_t k = 0; k < existing; ++k) {
        if (!SamePair(rows[k].low, rows[k].high, e.low, e.high)) continue;
        const double d = std::fabs(at[k] - v);
        if (!(d <= window) || !(2 * d < edgeGap)) continue;
        double rowGap = inf;
        for (size_t k2 = 0; k2 < existing; ++k2)
          if (k2 != k && SamePair(rows[k2].low, rows[k2].high, e.low, e.high))
            rowGap = std::min(rowGap, std::fabs(at[k2] - at[k]));
        if (!(2 * d < rowGap)) continue;
        partner[j] = k;
        ++claims[k];
        break;
      }
    }
    for (size_t j = 0; j < list.size(); ++j) {
      const double v = Middle(list[j]);
      if (partner[j] && claims[*partner[j]] == 1) {
        rows[*partner[j]].v[i] = v;
        rows[*partner[j]].halfWidth[i] = (list[j].vHigh - list[j].vLow) / 2;
        at[*partner[j]] = v;
        continue;
      }
      ConvergedEdge row;
      row.low = list[j].low;
      row.high = list[j].high;
      row.v.assign(n, std::nullopt);
      row.v[i] = v;
      row.halfWidth.assign(n, std::nullopt);
      row.halfWidth[i] = (list[j].vHigh - list[j].vLow) / 2;
      rows.push_back(std::move(row));
      at.push_back(v);
    }
  }
  auto finest = [](const ConvergedEdge& r) {
    for (size_t i = r.v.size(); i-- > 0;)
      if (r.v[i]) return *r.v[i];
    return 0.0;  // not reached: every row holds a velocity
  };
  std::stable_sort(rows.begin(), rows.end(),
                   [&](const ConvergedEdge& a, const ConvergedEdge& b) { return finest(a) < finest(b); });
  for (ConvergedEdge& row : rows) Extrapolate(grids, row);
  return rows;
}

std::string ConvergedEdgesCsv(const std::vector<int>& grids, const std::vector<ConvergedEdge>& edges) {
  std::string text = "class_low,class_high";
  for (int N : grids) text += ",v_" + std::to_string(N);
  text += ",v_extrapolated,error\n";
  for (const ConvergedEdge& e : edges) {
    text += RunClassName(e.low) + ',' + RunClassName(e.high);
    for (size_t i = 0; i < grids.size(); ++i) {
      text += ',';
      if (i < e.v.size() && e.v[i]) text += Shortest(*e.v[i]);
    }
    text += ',';
    if (e.extrapolated) text += Shortest(*e.extrapolated);
    text += ',';
    if (e.error) text += Shortest(*e.error);
    text += '\n';
  }
  return text;
}

std::optional<size_t> CriticalConvergedEdge(const std::vector<ConvergedEdge>& edges) {
  std::optional<size_t> fastest;
  for (size_t k = 0; k < edges.size(); ++k) {
    const std::vector<std::optional<double>>& v = edges[k].v;
    if (v.empty() || !v.back()) continue;
    if (!fastest || *v.back() > *edges[*fastest].v.back()) fastest = k;
  }
  if (!fastest || !PassesAtOnce(edges[*fastest].high)) return std::nullopt;
  return fastest;
}

std::string CriticalVelocityLine(const std::vector<ConvergedEdge>& edges) {
  const std::string head = "critical velocity (extrapolated): ";
  const std::optional<size_t> k = CriticalConvergedEdge(edges);
  if (!k || !edges[*k].extrapolated || !edges[*k].error) return head + "none";
  return head + Digits(*edges[*k].extrapolated, 12) + " +- " + Digits(*edges[*k].error, 2);
}

}  // namespace kl
