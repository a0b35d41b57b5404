#pragma once
// The declared options of kinklab-run, shared by the reader (options.cpp) and the checks that
// follow it (option_checks.cpp).
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/options.h"

namespace kl::cli {

// The modes a command line can be in: a single run, or a scan of one of four sources.
enum Mode : unsigned { kRun = 1, kGrid = 2, kFromCsv = 4, kFromH5 = 8, kMerge = 16 };
inline constexpr unsigned kAnyScan = kGrid | kFromCsv | kFromH5 | kMerge;
inline constexpr unsigned kRunsScans = kGrid | kFromCsv | kFromH5;  // the modes that run collisions
inline constexpr unsigned kEverywhere = kRun | kAnyScan;

// A command line being read: the options so far, and what the checks need to know of it.
struct Reading {
  unsigned mode = kRun;
  RunnerOptions run;
  ScanOptions scan;
  bool kinksFromSetup = false;           // the first --kink after a --setup replaces the file's list
  bool autoPart = false;                 // --scan-part auto: the share comes from the environment
  std::optional<int> partsOption;        // --scan-parts N
  std::map<std::string, std::string> given;  // each option given, with its last value as given
  bool Has(const std::string& name) const { return given.count(name) > 0; }
  // "--L 12", as messages name an option.
  std::string Named(const std::string& name) const;
};

// Why a reader refused a value; the reader's caller names the option and the value.
struct Refused {
  std::string why;
  bool namesValue = false;  // `why` names the value already (a file that does not load)
};

// One option: everything about it is said here and nowhere else.
struct OptionDecl {
  const char* name;      // "--kind"
  const char* value;     // the value's name in the help ("K"); nullptr for a flag
  const char* group;     // the help's group
  unsigned modes;        // the modes it may be given in
  const char* fallback;  // the default as the help states it; nullptr: none
  const char* needs;     // an option it does nothing without, in every mode; nullptr: none
  const char* meaning;   // the help's text
  bool many = false;     // takes every value up to the next option (--scan-merge)
  void (*read)(const std::string& value, Reading& r) = nullptr;  // throws Refused
};

const std::vector<OptionDecl>& Declarations();

// The sources of a scan, which exclude each other.
inline constexpr const char* kSources[] = {"--scan", "--from-csv", "--from-h5", "--scan-merge"};

// After every value is read: the checks of a single run, or of a scan (which also settles the
// scan's defaults). False with `error` naming the option.
bool CheckRun(Reading& r, std::string& error);
bool CheckScan(Reading& r, std::string& error);

}  // namespace kl::cli
