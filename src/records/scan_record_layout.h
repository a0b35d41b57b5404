#pragma once
// The layout of a scan's record inside an HDF5 file or group, shared by the writers and readers
// of single, converged and sweep records.
#include <hdf5.h>

#include <string>
#include <vector>

#include "records/scan_record.h"

namespace kl::layout {

// One scan's datasets and attributes at `at` (the file, or a group).
bool WriteAll(hid_t at, const ScanRecord& record);
// Reads them back; `why` says what is wrong.
bool ReadAll(hid_t at, ScanRecord& record, std::string& why);
// A converged scan at `at`: a group per grid and the attributes converge, groups and edges.
bool WriteConvergedGroups(hid_t at, const std::vector<ScanRecord>& grids, const std::string& edgesCsv);
// Reads them back, coarsest grid first; false unless `at` holds such groups.
bool ReadConvergedGroups(hid_t at, std::vector<ScanRecord>& grids, std::string& why);
// Reads the file once in a child process (ReadRecordSetDirectly), which the HDF5 library may
// crash or loop in on a damaged file; false with `error` when the child did not finish normally.
bool ReadsWithoutCrashing(const std::string& path, double seconds, std::string& error,
                          const std::atomic<bool>* stop = nullptr);

}  // namespace kl::layout
