#pragma once
// The record of a scan: an HDF5 file with the scan's table as datasets, the trace u(0, t) of
// every run on one common time grid, the edges of a refinement, and the scan's parameters as
// attributes; and the reading back that merges the records of a split scan into the whole.
#include <atomic>
#include <string>
#include <vector>

#include "study/refine.h"
#include "study/collision.h"
#include "soliton/field_model.h"

namespace kl {

// What decides a scan's numbers; records merge only when these agree.
struct ScanParameters {
  int kind = 1;           // 0: a k between the kinds
  double modulation = 0;  // the family's k (a record without it has its kind's)
  double halfInterval = 0;
  int gridSize = 0;
  double separation = 0;
  double tMax = 0;
  std::string precision;
  double v0 = 0, v1 = 0, dv = 0;  // the grid
  double refineTolerance = 0;     // 0: not refined
  // A model other than the family: the potential as given, its parameters and the pair's
  // vacua A, B, A; empty for the family.
  std::string potential;
  std::vector<ModelParam> params;
  std::vector<double> vacua;
  friend bool operator==(const ScanParameters&, const ScanParameters&) = default;
};

struct ScanRecord {
  ScanParameters parameters;
  int part = 1, parts = 1;
  std::string program, command;
  std::vector<CollisionRun> runs;  // in velocity order, each with its trace (time = TraceTimes)
  std::vector<ScanEdge> edges;     // in velocity order; empty unless refined
  // Whether the work that wrote the record finished: false after a stop or a failure. A record
  // is read as complete only when it says so and holds every run of its share of the grid.
  bool complete = true;
  // The velocities of the record's share of the grid that it holds no run of.
  std::vector<double> MissingGridRuns() const;
  size_t GridRuns() const;  // the runs of its share of the grid
};
// "35 of 41 grid runs" or "its refinement did not finish": why a record is not complete.
std::string IncompleteReason(const ScanRecord& record);

// Written through a temporary name and renamed into place; false with `error` on failure.
bool WriteScanRecord(const std::string& path, const ScanRecord& record, std::string& error);
// The record of a scan run at several grids: a group per grid (N1024, N2048, ...; a repeated
// grid N1024_2, ...) laid out as a record of its own, the grids as the root attribute
// "converge", the groups' names in order as "groups", and the extrapolated edges' CSV as the
// attribute "edges" (empty for a record of unrefined runs or of a share).
bool WriteConvergedScanRecord(const std::string& path, const std::vector<ScanRecord>& grids,
                              const std::string& edgesCsv, std::string& error);
// Reads and checks the record of one scan: false with `error` naming the file and the reason
// for anything that is not such a record (a converged scan's or a sweep's included). Read in a
// child process first, since the HDF5 library can crash or loop on a damaged file; such a file
// (or one the trial does not finish within `seconds`) is refused like any other.
bool ReadScanRecord(const std::string& path, ScanRecord& record, std::string& error, double seconds = 120);

// The records a file holds: one scan's (an entry of one record), a converged scan's (an entry
// of a record per grid, coarsest first), or a sweep's (an entry per k of the family, each of
// either kind).
struct RecordSet {
  std::vector<double> modulations;  // a sweep: the k of each entry, increasing; empty otherwise
  std::string sweepParam;           // a sweep of a formula's parameter: its name, the values in `modulations`
  bool converged = false;           // each entry a record per grid
  std::vector<std::vector<ScanRecord>> entries;
  bool complete = true;  // a sweep: every k of it finished
  bool Sweep() const { return !modulations.empty(); }
  // The first record not complete, with where it stands in the set ("k0.5", "N1024"), or null.
  const ScanRecord* FirstIncomplete(std::string& where) const;
};
// Reads and checks a record of any kind: false with `error` naming the file and the reason for
// anything that is not one. Read in a child process first, as ReadScanRecord is.
// A stop (`stop` set by a signal) ends the read at once, with `error` saying so.
bool ReadRecordSet(const std::string& path, RecordSet& set, std::string& error, double seconds = 120,
                   const std::atomic<bool>* stop = nullptr);
bool ReadRecordSetDirectly(const std::string& path, RecordSet& set, std::string& error);

// A record of one scan or of a converged scan (`records` one per grid, `converged` true); a
// sweep's record is refused.
bool ReadScanRecords(const std::string& path, std::vector<ScanRecord>& records, bool& converged, std::string& error,
                     double seconds = 120);
// The records of the shares of one scan, one converged scan or one sweep as one: entry by entry
// and grid by grid, each merged as MergeScanRecords does; every file of the same kind, grids
// and k.
bool MergeRecordSets(const std::vector<std::string>& paths, RecordSet& merged, std::string& error,
                     const std::atomic<bool>* stop = nullptr);
// The records of the shares of one scan as one: the same parameters (else refused naming the
// first file that differs), every share of the split present, every velocity once (one that
// two shares hold with different results is refused), the edges of all shares in velocity order.
bool MergeScanRecords(const std::vector<std::string>& paths, ScanRecord& merged, std::string& error);

// The record of a sweep: the dataset k (the modulations, or the values of the parameter named by
// the attribute sweep_param), a group "k<k>" per entry ("k0.9")
// holding its scan's record or its converged scan's groups (with `edgesCsvs[i]`, the entry's
// extrapolated edges), and the sweep's table as the attribute "sweep".
bool WriteSweepRecord(const std::string& path, const RecordSet& sweep, const std::vector<std::string>& edgesCsvs,
                      const std::string& table, std::string& error);
std::string SweepGroupName(double k);  // "k0.9"

// Empty for a complete set; else what is missing in the record `path` and the command that
// completes it ("PATH: stopped before it finished (k0.5/N1024: 35 of 41 grid runs); complete it
// by running its command again: kinklab-run ...").
std::string IncompleteMessage(const std::string& path, const RecordSet& set);

}  // namespace kl
