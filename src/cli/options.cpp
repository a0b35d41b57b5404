#include "cli/options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/data_file.h"
#include "app/replace_file.h"
#include "cli/cluster_share.h"
#include "cli/refine.h"
#include "cli/run_command.h"
#include "cli/scan_runs.h"
#include "cli/text_out.h"
#include "engine/integrator.h"
#include "interaction/colour_scale.h"
#include "engine/run_control.h"
#include "records/run_record.h"
#include "soliton/numbers.h"

namespace kl {

namespace {

bool ParseInteger(const std::string& text, int& value) {
  double v = 0;
  if (!ParseNumber(text, v) || v != std::floor(v) || std::fabs(v) > 2147483647.0) return false;
  value = static_cast<int>(v);
  return true;
}

// "a b" -> 'a b': the command line as a shell would take it back.
std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                              "-_.,:/=+@%") == std::string::npos)
    return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// What a setup file sets among the runner's options; the colour count, the picture scales and
// the adiabatic parameters have no use without the window.
void TakeSetup(const SetupData& s, RunnerOptions& o) {
  o.kind = s.PotentialKind;
  o.halfInterval = s.HalfInterval;
  o.gridSize = GridSizeFromList(s.GridIndex);
  o.kinks.clear();
  for (int i = 0; i < s.SolitonCount; ++i) o.kinks.emplace_back(s.Kinks[i].Displacement, s.Kinks[i].Velocity);
  o.rotator = s.InitMethod == 1;
  o.kF_Re = s.kF_Re;
  o.kF_Im = s.kF_Im;
  o.kD = s.kD;
  o.qL = s.qL;
  o.qR = s.qR;
  o.logPeriod = s.LogPeriod;
}

// Options of the runner that describe one run and have no meaning for a scan.
bool SingleRunOption(const std::string& name) {
  return name == "--kink" || name == "--rotator" || name == "--mark" || name == "--log" ||
         name == "--log-period" || name == "--energy" || name == "--dump" || name == "--png" ||
         name == "--size" || name == "--energy-picture" || name == "--setup";
}

bool ScanOption(const std::string& name) {
  return name == "--scan" || name == "--separation" || name == "--scan-part" || name == "--scan-parts" ||
         name == "--jobs" ||
         name == "--scan-csv" || name == "--scan-png" || name == "--refine" || name == "--edges" ||
         name == "--from-csv" || name == "--from-h5" || name == "--scan-h5" || name == "--scan-merge";
}

bool WholeNumber(double v, int lo, int hi, int& out) {
  if (v != std::floor(v) || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

bool ParseNumberList(const std::string& text, char sep, size_t count, std::vector<double>& values) {
  values.clear();
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(sep, start);
    double v = 0;
    if (!ParseNumber(text.substr(start, end == std::string::npos ? std::string::npos : end - start), v))
      return false;
    values.push_back(v);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return values.size() == count;
}

bool ParseRunnerArgs(const std::vector<std::string>& args, RunnerOptions& o, std::string& error) {
  RunnerOptions parsed;
  std::vector<double> v;
  bool kinksFromSetup = false;  // the first --kink after a --setup replaces the file's list
  std::string rangeText;        // --h5-range as given
  std::vector<std::string> seen;
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& name = args[k];
    if (name == "--energy-picture") {  // the only option without a value
      parsed.energyPicture = true;
      continue;
    }
    const bool known = name == "--kind" || name == "--L" || name == "--N" || name == "--kink" ||
                       name == "--rotator" || name == "--mark" || name == "--t" || name == "--log" ||
                       name == "--log-period" || name == "--energy" || name == "--dump" ||
                       name == "--setup" || name == "--png" || name == "--size" || name == "--colours" ||
                       name == "--precision" || name == "--threads" || name == "--h5" || name == "--h5-every" ||
                       name == "--h5-range" || name == "--h5-stride" || name == "--movie" ||
                       name == "--movie-every" || name == "--movie-size";
    if (!known) {
      error = name + ": unknown option";
      return false;
    }
    if (k + 1 >= args.size()) {
      error = name + " needs a value";
      return false;
    }
    const std::string& value = args[++k];
    seen.push_back(name);
    auto bad = [&](const std::string& why) {
      error = name + " " + value + ": " + why;
      return false;
    };
    if (name == "--kind") {
      if (!ParseInteger(value, parsed.kind)) return bad("not an integer");
      if (!IsValidKind(parsed.kind)) return bad("the potential kind must be 1, 2, 3 or 4");
    } else if (name == "--L") {
      if (!ParseNumber(value, parsed.halfInterval)) return bad("not a number");
      if (!IsUsableHalfInterval(parsed.halfInterval))
        return bad(std::string("the half-length must lie ") + kHalfIntervalRange);
    } else if (name == "--N") {
      if (!ParseInteger(value, parsed.gridSize)) return bad("not an integer");
      if (parsed.gridSize != 256 && parsed.gridSize != 512 && parsed.gridSize != 1024)
        return bad("N must be 256, 512 or 1024");
    } else if (name == "--kink") {
      if (!ParseNumberList(value, ':', 2, v)) return bad("expected C:V, two numbers");
      if (!(std::fabs(v[1]) < 1)) return bad("the velocity must lie strictly between -1 and 1");
      if (kinksFromSetup) parsed.kinks.clear();
      kinksFromSetup = false;
      if (parsed.kinks.size() >= 9) return bad("at most nine kinks");
      parsed.kinks.emplace_back(v[0], v[1]);
    } else if (name == "--rotator") {
      if (!ParseNumberList(value, ',', 5, v)) return bad("expected kF_Re,kF_Im,kD,qL,qR, five numbers");
      parsed.rotator = true;
      parsed.kF_Re = v[0];
      parsed.kF_Im = v[1];
      parsed.kD = v[2];
      parsed.qL = v[3];
      parsed.qR = v[4];
    } else if (name == "--mark") {
      if (!ParseNumberList(value, ':', 2, v)) return bad("expected A:B, two numbers");
      if (parsed.marks.size() >= 9) return bad("at most nine marks");
      parsed.marks.emplace_back(std::min(v[0], v[1]), std::max(v[0], v[1]));
    } else if (name == "--t") {
      double t = 0;
      if (!ParseNumber(value, t)) return bad("not a number");
      if (t < 0) return bad("the time must not be negative");
      parsed.untilTime = t;
    } else if (name == "--log") {
      if (value.empty() || value.find(' ') != std::string::npos) return bad("a log name without blanks");
      parsed.logName = value;
    } else if (name == "--log-period") {
      if (!ParseInteger(value, parsed.logPeriod)) return bad("not an integer");
    } else if (name == "--energy") {
      parsed.energyFile = value;
    } else if (name == "--dump") {
      parsed.dumpFile = value;
    } else if (name == "--png") {
      parsed.pngFile = value;
    } else if (name == "--size") {
      const size_t x = value.find('x');
      if (x == std::string::npos || !ParseInteger(value.substr(0, x), parsed.pngWidth) ||
          !ParseInteger(value.substr(x + 1), parsed.pngHeight) || parsed.pngWidth < 1 || parsed.pngHeight < 1 ||
          parsed.pngWidth > 16384 || parsed.pngHeight > 16384)
        return bad("expected WxH, two whole numbers from 1 to 16384");
    } else if (name == "--colours") {
      if (!ParseInteger(value, parsed.colourCount) || parsed.colourCount < 16 || parsed.colourCount > 200 ||
          parsed.colourCount % 8 != 0)
        return bad("the number of colours is one of 16, 24, ..., 200");
    } else if (name == "--precision") {
      if (!ParsePrecision(value, parsed.precision)) return bad("the precision is extended or double");
    } else if (name == "--threads") {
      if (!ParseInteger(value, parsed.threads) || parsed.threads < 1 || parsed.threads > kMaxStepThreads)
        return bad("the number of threads is a whole number from 1 to " + std::to_string(kMaxStepThreads));
    } else if (name == "--h5") {
      parsed.h5File = value;
    } else if (name == "--h5-every" || name == "--movie-every") {
      int every = 0;
      if (!ParseInteger(value, every) || every < 1) return bad("the steps between samples are a whole number from 1");
      (name == "--h5-every" ? parsed.h5Every : parsed.movieEvery) = every;
    } else if (name == "--h5-range") {
      if (!ParseNumberList(value, ':', 2, v)) return bad("expected A:B, two numbers");
      parsed.h5Range.emplace(std::min(v[0], v[1]), std::max(v[0], v[1]));
      rangeText = value;
    } else if (name == "--h5-stride") {
      if (!ParseInteger(value, parsed.h5Stride) || parsed.h5Stride < 1)
        return bad("the stride is a whole number from 1");
    } else if (name == "--movie") {
      parsed.movieFile = value;
    } else if (name == "--movie-size") {
      const size_t x = value.find('x');
      if (x == std::string::npos || !ParseInteger(value.substr(0, x), parsed.movieWidth) ||
          !ParseInteger(value.substr(x + 1), parsed.movieHeight) || parsed.movieWidth < 64 ||
          parsed.movieHeight < 64 || parsed.movieWidth > 4096 || parsed.movieHeight > 4096)
        return bad("expected WxH, two whole numbers from 64 to 4096");
    } else if (name == "--setup") {
      SetupData setup;
      std::string loadError;
      if (!LoadSetupFile(value, setup, loadError)) {
        error = name + ": " + loadError;
        return false;
      }
      TakeSetup(setup, parsed);
      kinksFromSetup = true;
    }
  }
  // The options of the record and of the movie mean nothing without them.
  for (const std::string& name : seen) {
    const bool h5 = name.rfind("--h5-", 0) == 0, movie = name.rfind("--movie-", 0) == 0;
    if ((h5 && parsed.h5File.empty()) || (movie && parsed.movieFile.empty())) {
      error = name + " needs " + (h5 ? "--h5 FILE" : "--movie FILE");
      return false;
    }
  }
  // The record's points lie within what the run computes: the first phase's range, or the
  // second phase's wider one when the run goes on into it.
  if (!parsed.h5File.empty() && parsed.h5Range) {
    const double dx = static_cast<double>(2.0L * parsed.halfInterval / parsed.gridSize);
    const double firstReach = FirstPhaseReach(parsed.gridSize, parsed.halfInterval);
    const bool secondPhase = parsed.untilTime && *parsed.untilTime > firstReach;
    RecordPoints points;
    std::string why;
    if (!ChooseRecordPoints(parsed.h5Range->first, parsed.h5Range->second, parsed.h5Stride, dx,
                            ComputedHalfReach(secondPhase), points, why)) {
      error = "--h5-range " + rangeText + ": " + why;
      return false;
    }
  }
  if (!CheckGridIsStable(parsed, error)) return false;
  // Every output is checked before the run, so that hours of work never end in a file that
  // cannot be written.
  const std::pair<const char*, std::string> outputs[] = {{"--energy", parsed.energyFile},
                                                         {"--dump", parsed.dumpFile},
                                                         {"--png", parsed.pngFile},
                                                         {"--log", parsed.logName},
                                                         {"--h5", parsed.h5File},
                                                         {"--movie", parsed.movieFile}};
  for (const auto& [name, file] : outputs) {
    std::string why;
    if (!file.empty() && !CheckOutputPath(name == std::string("--log") ? file + ".txt" : file, why)) {
      error = std::string(name) + " " + file + ": " + why;
      return false;
    }
  }
  parsed.command = "kinklab-run";
  for (const std::string& arg : args) {
    parsed.command += ' ';
    parsed.command += ShellWord(arg);
  }
  o = std::move(parsed);
  return true;
}

bool HasScanOption(const std::vector<std::string>& args) {
  for (const char* name : {"--scan", "--from-csv", "--from-h5", "--scan-merge"})
    if (std::find(args.begin(), args.end(), name) != args.end()) return true;
  return false;
}

bool ParseScanArgs(const std::vector<std::string>& args, ScanOptions& o, std::string& error) {
  ScanOptions parsed;
  std::vector<std::string> runArgs;
  bool haveScan = false, haveL = false, haveThreads = false;
  std::string lText, tText, refineText;  // --L, --t and --refine as given, for the messages
  std::vector<double> v;
  bool autoPart = false;
  std::optional<int> partsOption;  // --scan-parts N
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& name = args[k];
    if (SingleRunOption(name)) {
      error = name + ": not used by a scan, whose runs are all the same pair at their own velocity";
      return false;
    }
    if (!ScanOption(name)) {  // the runner's own options, read by the runner's reader below
      haveL = haveL || name == "--L";
      haveThreads = haveThreads || name == "--threads";
      runArgs.push_back(name);
      if (k + 1 < args.size()) {
        runArgs.push_back(args[++k]);
        if (name == "--L") lText = args[k];
        if (name == "--t") tText = args[k];
      }
      continue;
    }
    if (k + 1 >= args.size()) {
      error = name + " needs a value";
      return false;
    }
    const std::string& value = args[++k];
    auto bad = [&](const std::string& why) {
      error = name + " " + value + ": " + why;
      return false;
    };
    if (name == "--scan") {
      if (!ParseNumberList(value, ':', 3, v)) return bad("expected V0:V1:DV, three numbers");
      if (!(std::fabs(v[0]) < 1) || !(std::fabs(v[1]) < 1))
        return bad("the velocities must lie strictly between -1 and 1");
      if (v[1] < v[0]) return bad("the last velocity V1 is below the first V0");
      if (!(v[2] > 0)) return bad("the step DV must be positive");
      if (VelocityCount(v[0], v[1], v[2]) > kScanMaxVelocities)
        return bad("more than " + std::to_string(kScanMaxVelocities) + " velocities");
      // The velocities are run as rounded to 12 significant digits, which may reach 1.
      const std::vector<double> run = ScanVelocities(v[0], v[1], v[2]);
      if (!run.empty() && (!(std::fabs(run.front()) < 1) || !(std::fabs(run.back()) < 1)))
        return bad("the velocities, rounded to 12 significant digits, must lie strictly between -1 and 1");
      parsed.v0 = v[0];
      parsed.v1 = v[1];
      parsed.dv = v[2];
      haveScan = true;
    } else if (name == "--separation") {
      if (!ParseNumber(value, parsed.separation)) return bad("not a number");
      if (!(parsed.separation > 0)) return bad("the half-distance C must be positive");
    } else if (name == "--scan-part") {
      autoPart = value == "auto";  // the share of a job-array task, read after all options
      if (!autoPart && (!ParseNumberList(value, '/', 2, v) || !WholeNumber(v[1], 1, 1000000, parsed.parts) ||
                        !WholeNumber(v[0], 1, parsed.parts, parsed.part)))
        return bad("expected K/N, whole numbers with 1 <= K <= N, or auto");
    } else if (name == "--scan-parts") {
      double n = 0;
      int count = 0;
      if (!ParseNumber(value, n) || !WholeNumber(n, 1, 1000000, count))
        return bad("the number of shares is a whole number from 1 to 1000000");
      partsOption = count;
    } else if (name == "--jobs") {
      double j = 0;
      if (!ParseNumber(value, j) || !WholeNumber(j, 1, 1024, parsed.jobs))
        return bad("the number of runs at once is a whole number from 1 to 1024");
    } else if (name == "--scan-merge") {
      // The records follow up to the next option.
      for (--k; k + 1 < args.size() && args[k + 1].rfind("--", 0) != 0;) parsed.mergeFiles.push_back(args[++k]);
      if (parsed.mergeFiles.empty()) return bad("the records of the shares, A.h5 B.h5 ...");
    } else if (name == "--scan-csv" || name == "--scan-png" || name == "--edges" || name == "--from-csv" ||
               name == "--from-h5" || name == "--scan-h5") {
      if (value.empty()) return bad("a file name");
      (name == "--scan-csv"   ? parsed.csvFile
       : name == "--scan-png" ? parsed.pngFile
       : name == "--edges"    ? parsed.edgesFile
       : name == "--from-csv" ? parsed.fromCsv
       : name == "--from-h5"  ? parsed.fromH5
                              : parsed.h5File) = value;
    } else if (name == "--refine") {
      if (!ParseNumber(value, parsed.refineTolerance) || !(parsed.refineTolerance > 0) ||
          !std::isfinite(parsed.refineTolerance))
        return bad("the tolerance must be a positive number");
      refineText = value;
    }
  }
  if (autoPart) {
    std::string why;
    if (!ShareFromEnvironment([](const char* n) -> const char* { return std::getenv(n); }, partsOption,
                              parsed.part, parsed.parts, why)) {
      error = "--scan-part auto: " + why;
      return false;
    }
  } else if (partsOption) {
    error = "--scan-parts: only with --scan-part auto";
    return false;
  }
  const bool refine = parsed.refineTolerance > 0;
  const int sources = haveScan + !parsed.fromCsv.empty() + !parsed.fromH5.empty() + !parsed.mergeFiles.empty();
  if (sources > 1) {
    error = "--scan, --from-csv, --from-h5 and --scan-merge: give one of them";
    return false;
  }
  if (!parsed.mergeFiles.empty() || !parsed.fromH5.empty()) {
    // The scan's parameters come from the records.
    for (size_t k = 0; k < runArgs.size(); k += 2)
      if (runArgs[k] != "--threads" && runArgs[k] != "--colours") {
        error = runArgs[k] + ": the scan's parameters come from its records";
        return false;
      }
    if (parsed.separation != kScanDefaultSeparation || (parsed.parts > 1 && !parsed.mergeFiles.empty())) {
      error = std::string(parsed.parts > 1 ? "--scan-part" : "--separation") +
              ": the scan's parameters come from its records";
      return false;
    }
    if (!parsed.mergeFiles.empty() && (refine || !parsed.edgesFile.empty())) {
      error = "--scan-merge: joins records as they are; refine with --from-h5";
      return false;
    }
    if (!parsed.fromH5.empty() && !refine) {
      error = "--from-h5 " + parsed.fromH5 + ": needs --refine TOL";
      return false;
    }
  } else if (!parsed.fromCsv.empty()) {
    if (haveScan) {
      error = "--scan: a refinement --from-csv takes its velocities from the CSV";
      return false;
    }
    if (!refine) {
      error = "--from-csv " + parsed.fromCsv + ": needs --refine TOL";
      return false;
    }
    if (!parsed.pngFile.empty() || !parsed.h5File.empty()) {
      error = std::string(parsed.pngFile.empty() ? "--scan-h5" : "--scan-png") +
              ": a scan CSV holds no u(0, t) of its runs; refine from the scan's record with --from-h5";
      return false;
    }
  } else if (!haveScan) {
    error = "--scan V0:V1:DV is missing";
    return false;
  }
  if (!parsed.edgesFile.empty() && !refine) {
    error = "--edges " + parsed.edgesFile + ": needs --refine TOL";
    return false;
  }
  if (refine && haveScan && parsed.parts > 1) {
    error = "--scan-part: a split scan is refined from its concatenated CSVs with --from-csv";
    return false;
  }
  if (refine && haveScan && !RefinableTolerance(parsed.refineTolerance, std::max(std::fabs(parsed.v0), std::fabs(parsed.v1)))) {
    error = "--refine " + refineText + ": " + TooFineMessage();
    return false;
  }
  if (!ParseRunnerArgs(runArgs, parsed.run, error)) return false;
  // Every output is checked before anything runs.
  auto outputsWritable = [&] {
    for (const auto& [name, file] : {std::pair<const char*, const std::string&>{"--scan-csv", parsed.csvFile},
                                      std::pair<const char*, const std::string&>{"--scan-png", parsed.pngFile},
                                      std::pair<const char*, const std::string&>{"--scan-h5", parsed.h5File},
                                      std::pair<const char*, const std::string&>{"--edges", parsed.edgesFile}}) {
      std::string why;
      if (!file.empty() && !CheckOutputPath(file, why)) {
        error = std::string(name) + " " + file + ": " + why;
        return false;
      }
    }
    return true;
  };
  if (!parsed.mergeFiles.empty() || !parsed.fromH5.empty()) {
    if (!outputsWritable()) return false;
    o = std::move(parsed);
    return true;
  }

  RunnerOptions& run = parsed.run;
  const double C = parsed.separation;
  if (!haveL) run.halfInterval = C + kScanDefaultSpare;
  if (run.halfInterval < C + kScanMinSpare) {
    error = "--L " + lText + ": the pair at -C and +C needs L >= C + " +
            Shortest(kScanMinSpare) + " (C = " + Shortest(C) + ")";
    return false;
  }
  if (!run.untilTime) run.untilTime = kScanDefaultTime;
  // The scan shares the cores among its runs; a run's step takes more threads only on request.
  if (!haveThreads) run.threads = 1;
  const double reach = SecondPhaseReach(run.gridSize, run.halfInterval);
  if (!(*run.untilTime > 0) || *run.untilTime > reach) {
    error = "--t " + tText + ": a scan's time limit lies above 0 and at most at " +
            Shortest(reach) + ", the reach of the second phase for this N and L";
    return false;
  }
  if (!CheckGridIsStable(run, error)) return false;
  if (!outputsWritable()) return false;
  o = std::move(parsed);
  return true;
}

}  // namespace kl
