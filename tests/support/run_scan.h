#pragma once
// The scan command on exactly these arguments, in this process: its status, standard output and
// standard error (the reader's refusal there, with status 2).
#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/scan_command.h"

namespace kl::test {

inline int RunScanLine(const std::vector<std::string>& args, std::string& out, std::string& err) {
  ScanOptions o;
  if (!ParseScanArgs(args, o, err)) return 2;
  std::atomic<bool> stop{false};
  std::ostringstream o1, o2;
  const int status = RunScanCommand(o, stop, o1, o2, false);
  out = o1.str();
  err = o2.str();
  return status;
}

}  // namespace kl::test
