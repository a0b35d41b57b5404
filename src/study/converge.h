#pragma once
// Where a scan's edges lie in the continuum limit.
//
// A refined scan run at several grid sizes N1 <= N2 <= ... over the same interval [-L, L]
// (dx = 2L/N) gives at each its edges in velocity order. An edge moves a little with dx; the
// functions here follow each edge across the grids and extrapolate its velocity to dx -> 0.
//
// Matching. Only edges of the same class pair (class_low, class_high) can be the same edge.
// The grids are taken from the finest to the coarsest; every edge of the finest starts a row,
// and the edges of each coarser grid are matched to the rows built so far, each row standing
// at its velocity on the coarsest grid that has it so far. An edge at velocity v and a row at
// velocity r of the same class pair are partners when
//   - |v - r| <= window (the most an edge may move from one grid to the next; the scan's
//     velocity step is a natural choice), and
//   - |v - r| is less than half the distance from v to the nearest other edge of the class
//     pair on this grid, and less than half the distance from r to the nearest other row of
//     the class pair.
// The second condition makes each the other's only candidate, so a match never depends on the
// order in which they are tried; when the class pair's edges move by less than half their
// spacing and are all present, this is the k-th edge matched to the k-th. An edge absent from
// one grid leaves a hole in its row instead of taking a neighbour's partner: the neighbour
// stays nearer to its own. An edge with no partner starts a row of its own. (Should rounding
// ever let two edges claim the same row, neither is matched.)
//
// Extrapolation. With an error proportional to dx^2, two grids c and f (N_c < N_f) give
//   v = v_f + (v_f - v_c) * N_c^2 / (N_f^2 - N_c^2).
// The extrapolated velocity comes from the finest grid f and the finest grid c coarser than
// it. The check comes from the coarsest grid and the coarsest grid finer than it, when that
// is another pair. The error estimate is the largest of the last correction |v - v_f|, the
// spread |v - v_check|, and what the brackets leave open: each middle lies within half its
// bracket of the edge, which the extrapolation carries as (1 + w) h_f + w h_c with
// w = N_c^2 / (N_f^2 - N_c^2). Two grids of the same N are never paired. An edge absent from any grid
// is not extrapolated; neither is one without two different grid sizes.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "study/refine.h"

namespace kl {

struct ConvergedEdge {
  RunClass low, high;
  // Per grid, in the order of the grids: the middle of the edge's final bracket,
  // (vLow + vHigh) / 2; empty on a grid where the edge was not found.
  std::vector<std::optional<double>> v;
  // Per grid, half the width of that bracket: how far the middle may lie from the edge.
  std::vector<std::optional<double>> halfWidth;
  // The velocity at dx -> 0 and its error estimate; both empty when not extrapolated.
  std::optional<double> extrapolated, error;
};

// The edges of each grid (`edges[i]` found with `grids[i]` points; the grids non-decreasing)
// matched into rows as above and extrapolated, the rows in the order of their velocity on the
// finest grid that has them. Throws std::invalid_argument when the sizes differ, a grid is
// not positive or the grids decrease.
std::vector<ConvergedEdge> ConvergeEdges(const std::vector<int>& grids,
                                         const std::vector<std::vector<ScanEdge>>& edges, double window);

// "class_low,class_high,v_<N1>,v_<N2>,...,v_extrapolated,error\n" (a v_<N> column per grid, in
// order, a repeated grid repeating its name), then a row per edge; numbers in the shortest
// form that reads back as the same double, empty cells where there is none.
std::string ConvergedEdgesCsv(const std::vector<int>& grids, const std::vector<ConvergedEdge>& edges);

// The critical velocity's edge, as for a single scan: the fastest edge of the finest grid,
// when above it every run escapes after one bounce. nullopt when the finest grid has no edge
// or its fastest edge leads to another class.
std::optional<size_t> CriticalConvergedEdge(const std::vector<ConvergedEdge>& edges);

// "critical velocity (extrapolated): V +- E", V to 12 significant digits (as scan velocities
// are written) and E to 2; "critical velocity (extrapolated): none" when there is no critical
// edge or it was not extrapolated. Without a line end.
std::string CriticalVelocityLine(const std::vector<ConvergedEdge>& edges);

}  // namespace kl
