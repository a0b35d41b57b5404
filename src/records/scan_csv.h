#pragma once
// The scan's CSV (a row per run) and the refinement's edges CSV, written and read back.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "study/collision.h"
#include "study/refine.h"

namespace kl {

// Far above the 10 000 rows of a grid and their refinement.
inline constexpr size_t kMaxScanCsvBytes = 64u << 20;

// "v,outcome,bounces,first_collision,v_out,end_distance\n"; a model's scan (`model`) adds the
// column vacuum_between, empty for a capture or none.
std::string ScanCsvHeader(bool model = false);
std::string ScanCsvRow(const CollisionRun& run, bool model = false);

// Reads the rows of a scan CSV, or of several concatenated (each with its header), into runs
// in velocity order without their series; a velocity listed twice with the same row counts
// once. Either form of the header is taken, the same in every share. False with `error` naming `name` and the line for anything that is not such a CSV.
bool ParseScanCsv(std::string_view text, const std::string& name, std::vector<CollisionRun>& runs,
                  std::string& error);

std::string EdgesCsvHeader();  // "v_low,v_high,class_low,class_high\n"
std::string EdgesCsvRow(const ScanEdge& edge);
// The whole --edges CSV: the header and a row per edge.
std::string EdgesCsv(const std::vector<ScanEdge>& edges);

}  // namespace kl
