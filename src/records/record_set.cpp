// Records of any kind read back, checked and merged: one scan, a converged scan (a group per
// grid) and a sweep (a group per k); and the sweep's record written.
#include <hdf5.h>

#include <algorithm>
#include <map>

#include "records/scan_csv.h"
#include "base/text_out.h"
#include "records/hdf5_util.h"
#include "records/scan_record.h"
#include "records/scan_record_layout.h"
#include "soliton/potential.h"

namespace kl {

using h5::Handle;

namespace {

constexpr size_t kMostGroups = 64;
constexpr size_t kMostModulations = 1000;

}  // namespace

namespace layout {

// The groups of a converged record, in the order of its grids; false unless the file is one.
bool ReadConvergedGroups(hid_t file, std::vector<ScanRecord>& grids, std::string& why) {
  const std::optional<std::string> names = h5::ReadStringAttribute(file, "groups");
  if (!names) {
    why = "not a scan record: neither a scan's attributes nor the groups of a converged scan";
    return false;
  }
  grids.clear();
  for (size_t start = 0; start <= names->size();) {
    const size_t comma = std::min(names->find(',', start), names->size());
    const std::string name = names->substr(start, comma - start);
    start = comma + 1;
    if (grids.size() >= kMostGroups || name.empty() || name[0] != 'N' ||
        name.find_first_not_of("N0123456789_") != std::string::npos) {
      why = "not a converged scan's record: its groups are not N<grid> names";
      return false;
    }
    if (H5Lexists(file, name.c_str(), H5P_DEFAULT) <= 0) {
      why = "the group " + name + " of a converged scan is missing";
      return false;
    }
    Handle group(H5Gopen2(file, name.c_str(), H5P_DEFAULT), H5Gclose);
    ScanRecord rec;
    if (!group.ok() || !layout::ReadAll(group.get(), rec, why)) {
      why = "the group " + name + " is not a scan record: " + (group.ok() ? why : h5::Reason());
      return false;
    }
    grids.push_back(std::move(rec));
  }
  for (size_t k = 1; k < grids.size(); ++k)
    if (grids[k].parameters.gridSize < grids[k - 1].parameters.gridSize) {
      why = "the grids of a converged scan decrease";
      return false;
    }
  return !grids.empty();
}

}  // namespace layout

namespace {

// One entry at `at`: a converged scan's groups, or a scan's record.
bool ReadEntry(hid_t at, std::vector<ScanRecord>& records, bool& converged, std::string& why) {
  converged = H5Aexists(at, "groups") > 0;
  if (converged) return layout::ReadConvergedGroups(at, records, why);
  ScanRecord one;
  if (!layout::ReadAll(at, one, why)) {
    why = "not a scan record: " + why;
    return false;
  }
  records.assign(1, std::move(one));
  return true;
}

// A sweep's entries, one group per k of the dataset k.
bool ReadSweep(hid_t file, RecordSet& set, std::string& why) {
  std::vector<double> ks;
  if (!h5::ReadDoubles(file, "k", kMostModulations, ks) || ks.empty()) {
    why = "a sweep's dataset k is not a list of 1 to " + std::to_string(kMostModulations) + " modulations";
    return false;
  }
  set.sweepParam.clear();
  if (H5Aexists(file, "sweep_param") > 0) {
    const std::optional<std::string> name = h5::ReadStringAttribute(file, "sweep_param");
    if (!name || name->empty()) {
      why = "the sweep's attribute sweep_param is not a name";
      return false;
    }
    set.sweepParam = *name;
  }
  for (size_t i = 0; i < ks.size(); ++i)
    if (!std::isfinite(ks[i]) || (set.sweepParam.empty() && !(ks[i] >= kMinModulation && ks[i] <= kMaxModulation)) ||
        (i > 0 && !(ks[i] > ks[i - 1]))) {
      why = set.sweepParam.empty() ? "the sweep's modulations k are not increasing within [0, 20]"
                                   : "the sweep's values of " + set.sweepParam + " are not increasing";
      return false;
    }
  set.entries.clear();
  for (size_t i = 0; i < ks.size(); ++i) {
    const std::string name = SweepGroupName(ks[i]);
    if (H5Lexists(file, name.c_str(), H5P_DEFAULT) <= 0) {
      why = "the group " + name + " of the sweep is missing";
      return false;
    }
    Handle group(H5Gopen2(file, name.c_str(), H5P_DEFAULT), H5Gclose);
    std::vector<ScanRecord> records;
    bool converged = false;
    if (!group.ok() || !ReadEntry(group.get(), records, converged, why)) {
      why = "the group " + name + ": " + (group.ok() ? why : h5::Reason());
      return false;
    }
    if (i > 0 && converged != set.converged) {
      why = "the group " + name + " is " + (converged ? "" : "not ") + "a converged scan, unlike the first";
      return false;
    }
    for (const ScanRecord& rec : records) {
      if (set.sweepParam.empty() && rec.parameters.modulation != ks[i]) {
        why = "the group " + name + " holds a scan of k = " + Shortest(rec.parameters.modulation);
        return false;
      }
      bool holds = set.sweepParam.empty();
      for (const ModelParam& p : rec.parameters.params) holds = holds || (p.name == set.sweepParam && p.value == ks[i]);
      if (!holds) {
        why = "the group " + name + " holds no scan of " + set.sweepParam + " = " + Shortest(ks[i]);
        return false;
      }
    }
    set.converged = converged;
    set.entries.push_back(std::move(records));
  }
  long long complete = 1;  // a record written before sweeps told it has every k it was asked for
  if (H5Aexists(file, "complete") > 0 && (!h5::ReadScalar(file, "complete", complete) || complete < 0 || complete > 1)) {
    why = "the sweep's attribute complete is not 0 or 1";
    return false;
  }
  set.complete = complete == 1;
  set.modulations = std::move(ks);
  return true;
}

// Several records as one, each named for the messages.
bool MergeRecords(std::vector<std::pair<std::string, ScanRecord>>& records, ScanRecord& merged, std::string& error);

}  // namespace

std::string SweepGroupName(double k) {
  std::string name = "k";
  return name.append(Shortest(k));
}

std::string IncompleteMessage(const std::string& path, const RecordSet& set) {
  std::string where, what;
  const ScanRecord* cut = set.FirstIncomplete(where);
  if (cut)
    what = (where.empty() ? "" : where + ": ") + IncompleteReason(*cut);
  else if (!set.complete)
    what = "the sweep stopped after " + std::to_string(set.modulations.size()) + " of its modulations";
  else
    return {};
  const ScanRecord& any = cut ? *cut : set.entries.front().front();
  std::string message = path + ": stopped before it finished (" + what + ")";
  if (!any.command.empty()) message += "; complete it by running its command again: " + any.command;
  return message;
}

bool ReadRecordSetDirectly(const std::string& path, RecordSet& set, std::string& error) {
  h5::Quiet();
  if (H5Fis_hdf5(path.c_str()) <= 0) {
    error = path + ": not an HDF5 file that can be read";
    return false;
  }
  Handle file(H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
  if (!file.ok()) {
    error = path + ": " + h5::Reason();
    return false;
  }
  std::string why;
  RecordSet read;
  bool ok = false;
  if (H5Lexists(file.get(), "k", H5P_DEFAULT) > 0 && H5Aexists(file.get(), "sweep") > 0) {
    ok = ReadSweep(file.get(), read, why);
  } else {
    read.entries.resize(1);
    ok = ReadEntry(file.get(), read.entries[0], read.converged, why);
  }
  if (!ok) {
    error = path + ": " + why;
    return false;
  }
  set = std::move(read);
  return true;
}

bool ReadRecordSet(const std::string& path, RecordSet& set, std::string& error, double seconds,
                   const std::atomic<bool>* stop) {
  return layout::ReadsWithoutCrashing(path, seconds, error, stop) && ReadRecordSetDirectly(path, set, error);
}

bool ReadScanRecords(const std::string& path, std::vector<ScanRecord>& records, bool& converged, std::string& error,
                     double seconds) {
  RecordSet set;
  if (!ReadRecordSet(path, set, error, seconds)) return false;
  if (set.Sweep()) {
    error = path + ": the record of a sweep over k, a group per k";
    return false;
  }
  records = std::move(set.entries[0]);
  converged = set.converged;
  return true;
}

bool ReadScanRecord(const std::string& path, ScanRecord& record, std::string& error, double seconds) {
  std::vector<ScanRecord> records;
  bool converged = false;
  if (!ReadScanRecords(path, records, converged, error, seconds)) return false;
  if (converged) {
    error = path + ": the record of a converged scan, a group per grid";
    return false;
  }
  record = std::move(records[0]);
  return true;
}

bool MergeRecordSets(const std::vector<std::string>& paths, RecordSet& merged, std::string& error,
                     const std::atomic<bool>* stop) {
  std::vector<RecordSet> read(paths.size());
  for (size_t k = 0; k < paths.size(); ++k) {
    if (!ReadRecordSet(paths[k], read[k], error, 120, stop)) return false;
    // A share that stopped would pass its missing runs off as a scan's whole answer.
    if (const std::string incomplete = IncompleteMessage(paths[k], read[k]); !incomplete.empty()) {
      error = incomplete;
      return false;
    }
    const RecordSet& first = read[0];
    if (read[k].modulations != first.modulations || read[k].sweepParam != first.sweepParam) {
      error = paths[k] + ": not a share of the scan of " + paths[0] + " (its k differ)";
      return false;
    }
    bool same = read[k].converged == first.converged;
    for (size_t e = 0; same && e < first.entries.size(); ++e) same = read[k].entries[e].size() == first.entries[e].size();
    if (!same) {
      error = paths[k] + ": not a share of the scan of " + paths[0] + " (its grids differ)";
      return false;
    }
  }
  merged = RecordSet{};
  merged.modulations = read[0].modulations;
  merged.sweepParam = read[0].sweepParam;
  merged.converged = read[0].converged;
  for (size_t e = 0; e < read[0].entries.size(); ++e) {
    merged.entries.emplace_back(read[0].entries[e].size());
    for (size_t g = 0; g < read[0].entries[e].size(); ++g) {
      std::vector<std::pair<std::string, ScanRecord>> shares;
      for (size_t k = 0; k < paths.size(); ++k) shares.emplace_back(paths[k], std::move(read[k].entries[e][g]));
      if (!MergeRecords(shares, merged.entries[e][g], error)) return false;
    }
  }
  return true;
}

bool MergeScanRecords(const std::vector<std::string>& paths, ScanRecord& merged, std::string& error) {
  RecordSet set;
  if (!MergeRecordSets(paths, set, error)) return false;
  if (set.converged || set.Sweep()) {
    error = paths[0] + (set.Sweep() ? ": the record of a sweep over k, a group per k"
                                    : ": the record of a converged scan, a group per grid");
    return false;
  }
  merged = std::move(set.entries[0][0]);
  return true;
}

bool WriteSweepRecord(const std::string& path, const RecordSet& sweep, const std::vector<std::string>& edgesCsvs,
                      const std::string& table, std::string& error) {
  return h5::WriteFileImage(
      path,
      [&](hid_t file) {
        bool ok = h5::WriteDataset(file, "k", H5T_NATIVE_DOUBLE, {sweep.modulations.size()},
                                   sweep.modulations.data(), false) &&
                  h5::WriteStringAttribute(file, "sweep", table) &&
                  (sweep.sweepParam.empty() || h5::WriteStringAttribute(file, "sweep_param", sweep.sweepParam));
        const int complete = sweep.complete ? 1 : 0;
        ok = ok && h5::WriteAttribute(file, "complete", H5T_NATIVE_INT, {}, &complete);
        for (size_t e = 0; ok && e < sweep.entries.size(); ++e) {
          Handle group(
              H5Gcreate2(file, SweepGroupName(sweep.modulations[e]).c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
              H5Gclose);
          ok = group.ok() && (sweep.converged ? layout::WriteConvergedGroups(group.get(), sweep.entries[e],
                                                                              e < edgesCsvs.size() ? edgesCsvs[e] : "")
                                              : layout::WriteAll(group.get(), sweep.entries[e].front()));
        }
        return ok;
      },
      error);
}

namespace {

bool MergeRecords(std::vector<std::pair<std::string, ScanRecord>>& records, ScanRecord& merged, std::string& error) {
  std::map<double, std::pair<CollisionRun, std::string>> runs;  // and the file that held it first
  std::vector<ScanEdge> edges;
  std::vector<bool> sharesSeen;
  ScanRecord first;
  std::vector<std::string> paths;
  for (const auto& named : records) paths.push_back(named.first);
  for (size_t k = 0; k < records.size(); ++k) {
    ScanRecord& rec = records[k].second;
    if (k == 0) {
      first = rec;
      sharesSeen.assign(static_cast<size_t>(rec.parts), false);
    }
    if (rec.parameters.modulation != first.parameters.modulation) {
      error = paths[k] + ": not a share of the scan of " + paths[0] + " (its k = " +
              Shortest(rec.parameters.modulation) + ", not " + Shortest(first.parameters.modulation) + ")";
      return false;
    }
    const auto modelOf = [](const ScanParameters& p) {
      std::string text = p.potential.empty() ? "the family" : p.potential;
      for (const ModelParam& m : p.params) text += " " + m.name + "=" + Shortest(m.value);
      for (double v : p.vacua) text += " " + Shortest(v);
      return text;
    };
    if (modelOf(rec.parameters) != modelOf(first.parameters)) {
      error = paths[k] + ": not a share of the scan of " + paths[0] + " (its model is " + modelOf(rec.parameters) +
              ", not " + modelOf(first.parameters) + ")";
      return false;
    }
    if (!(rec.parameters == first.parameters)) {
      error = paths[k] + ": not a share of the scan of " + paths[0] + " (its parameters differ)";
      return false;
    }
    if (rec.parts != first.parts) {
      error = paths[k] + ": share " + std::to_string(rec.part) + " of " + std::to_string(rec.parts) + ", but " +
              paths[0] + " is one of " + std::to_string(first.parts);
      return false;
    }
    sharesSeen[static_cast<size_t>(rec.part - 1)] = true;
    for (CollisionRun& run : rec.runs) {
      const auto it = runs.find(run.v);
      if (it == runs.end()) {
        runs.emplace(run.v, std::make_pair(std::move(run), paths[k]));
      } else if (ScanCsvRow(it->second.first, true) != ScanCsvRow(run, true) || it->second.first.centre != run.centre) {
        error = paths[k] + ": v = " + ScanCsvRow(run).substr(0, ScanCsvRow(run).find(',')) + " differs from " +
                it->second.second + "'s";
        return false;
      }
    }
    edges.insert(edges.end(), rec.edges.begin(), rec.edges.end());
  }
  // A share left out would leave a gap that looks like a finished scan.
  for (size_t k = 0; k < sharesSeen.size(); ++k)
    if (!sharesSeen[k]) {
      error = "share " + std::to_string(k + 1) + " of " + std::to_string(sharesSeen.size()) +
              " is missing (the records given hold the others)";
      return false;
    }
  merged = ScanRecord{};
  merged.parameters = first.parameters;
  merged.program = first.program;
  for (auto& [v, entry] : runs) merged.runs.push_back(std::move(entry.first));
  std::sort(edges.begin(), edges.end(), [](const ScanEdge& a, const ScanEdge& b) { return a.vLow < b.vLow; });
  for (const ScanEdge& e : edges)
    if (merged.edges.empty() || merged.edges.back().vLow != e.vLow || merged.edges.back().vHigh != e.vHigh)
      merged.edges.push_back(e);
  return true;
}

}  // namespace

}  // namespace kl
