#include "cli/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "cli/option_table.h"
#include "base/numbers.h"

namespace kl {

namespace cli {

std::string Reading::Named(const std::string& name) const {
  const auto it = given.find(name);
  return it == given.end() || it->second.empty() ? name : name + " " + it->second;
}

namespace {

// --- The parser --------------------------------------------------------------------------------

// The usage lines come first in the help; CLI11 lays out the groups of options below them.
class HelpLayout : public CLI::Formatter {
 public:
  static constexpr size_t kNameColumn = 30, kTextWidth = 68;

  HelpLayout() { column_width(kNameColumn); }

  // The option and its value's name; what it needs is said in its text.
  std::string make_option_opts(const CLI::Option* o) const override {
    return o->get_type_size() == 0 ? std::string() : " " + o->get_type_name();
  }
  // The text wrapped into lines of kTextWidth characters at most.
  std::string make_option_desc(const CLI::Option* o) const override {
    std::string text, line;
    std::istringstream words(o->get_description());
    for (std::string word; words >> word;) {
      if (!line.empty() && line.size() + 1 + word.size() > kTextWidth) {
        text += line + '\n';
        line.clear();
      }
      line += (line.empty() ? "" : " ") + word;
    }
    return text + line;
  }
  std::string make_usage(const CLI::App*, std::string) const override {
    return "Usage: kinklab-run [--setup FILE.kq1] [--kink C:V]... [OPTIONS]      a single run\n"
           "   or: kinklab-run --scan V0:V1:DV [--refine TOL] [OPTIONS]       a collision scan\n"
           "   or: kinklab-run --scan V0:V1:DV --sweep-modulation K0:K1:DK [OPTIONS]   a scan for every k\n"
           "   or: kinklab-run --scan V0:V1:DV --potential W --sweep-param NAME=K0:K1:DK [OPTIONS]\n"
           "                                                        a scan for every value of a parameter\n"
           "   or: kinklab-run --from-csv SCAN.csv --refine TOL [OPTIONS]     refine a scan's CSV\n"
           "   or: kinklab-run --from-h5 SCAN.h5 --refine TOL [OPTIONS]       refine a scan's record\n"
           "   or: kinklab-run --scan-merge A.h5 B.h5 ... [OPTIONS]           join a split scan\n"
           "   or: kinklab-run --help | --version\n";
  }
};

std::string Described(const OptionDecl& d) {
  std::string text = d.meaning;
  if (d.needs) text += "; needs " + std::string(d.needs);
  if (d.fallback) text += " (default: " + std::string(d.fallback) + ")";
  return text;
}

// The CLI11 application of the declarations; `options` gets each declaration's option.
std::unique_ptr<CLI::App> MakeApp(const std::vector<OptionDecl>& decls, std::vector<CLI::Option*>& options) {
  auto app = std::make_unique<CLI::App>(
      "kinklab-run: runs of kinks and antikinks of u_tt - u_xx = -dW/du, and collision scans, without the "
      "window. Units: c = 1, lengths and times dimensionless.",
      "kinklab-run");
  app->formatter(std::make_shared<HelpLayout>());
  app->set_help_flag();  // --help is seen before parsing, wherever it stands
  app->add_flag(std::string("--help,-h"))->description("print this help and exit")->group("General");
  app->add_flag(std::string("--version"))->description("print the version and exit")->group("General");
  app->allow_extras();  // unknown words are told in the program's own words
  app->footer(
      "A bad argument prints one line naming it and exits with status 2; nothing is written then. Ctrl-C or "
      "SIGTERM stops a run or a scan, writes what is finished, and exits with 130 or 143.");
  options.clear();
  for (const OptionDecl& d : decls) {
    CLI::Option* o = d.value ? app->add_option(std::string(d.name)) : app->add_flag(std::string(d.name));
    o->description(Described(d));
    o->group(d.group);
    if (d.value) {
      o->type_name(d.value);
      o->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
      if (d.many) o->expected(1, CLI::detail::expected_max_vector_size)->allow_extra_args(true);
    } else {
      o->disable_flag_override();
    }
    options.push_back(o);
  }
  for (size_t k = 0; k < decls.size(); ++k)
    if (decls[k].needs) options[k]->needs(app->get_option(decls[k].needs));
  for (const char* a : kSources)
    for (const char* b : kSources)
      if (std::string(a) < b) app->get_option(a)->excludes(app->get_option(b));
  return app;
}

// CLI11's messages in the program's words.
std::string Translated(const CLI::ParseError& e) {
  const std::string what = e.what();
  const std::string name = what.substr(0, what.find_first_of(" :"));
  if (what.find(" required ") != std::string::npos && what.size() > 8 && what.compare(what.size() - 8, 8, " missing") == 0)
    return name + " needs a value";
  if (const size_t at = what.find(" requires "); at != std::string::npos)
    return name + " needs " + what.substr(at + 10);
  if (what.find(" excludes ") != std::string::npos) return "--scan, --from-csv, --from-h5 and --scan-merge: give one of them";
  return what;
}

bool IsDeclared(const std::vector<OptionDecl>& decls, const std::string& word) {
  const std::string name = word.substr(0, word.find('='));
  return name == "--help" || name == "--version" ||
         std::any_of(decls.begin(), decls.end(), [&](const OptionDecl& d) { return name == d.name; });
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

// Why an option may not be given in mode `mode`.
std::string NotInMode(const OptionDecl& d, unsigned mode) {
  const std::string name = d.name;
  if (mode == kRun) {
    std::vector<std::string> sources;
    const unsigned modes[] = {kGrid, kFromCsv, kFromH5, kMerge};
    for (size_t k = 0; k < 4; ++k)
      if (d.modes & modes[k]) sources.push_back(kSources[k]);
    std::string list;
    for (size_t k = 0; k < sources.size(); ++k)
      list += (k == 0 ? "" : k + 1 == sources.size() ? " or " : ", ") + sources[k];
    return name + ": needs " + list;
  }
  if (d.modes == kRun) return name + ": not used by a scan, whose runs are all the same pair at their own velocity";
  if ((mode & (kFromH5 | kMerge)) && (d.modes & kFromCsv)) return name + ": the scan's parameters come from its records";
  if (mode == kFromCsv && name == "--scan-png")
    return name + ": a scan CSV holds no u(0, t) of its runs; refine from the scan's record with --from-h5";
  if (mode == kFromCsv && name == "--scan-h5")
    return name + ": a scan CSV holds no u(0, t) of its runs; refine from the scan's record with --from-h5";
  if (mode == kMerge && name == "--refine") return name + ": --scan-merge joins records as they are; refine with --from-h5";
  if (mode == kMerge) return name + ": --scan-merge joins records as they are";
  return name + ": not used with " + (mode == kGrid ? "--scan" : mode == kFromCsv ? "--from-csv" : "--from-h5");
}

}  // namespace


}  // namespace cli

bool ReadCommandLine(const std::vector<std::string>& args, Command& command, std::string& error) {
  using namespace cli;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      command.kind = CommandKind::Help;
      return true;
    }
    if (a == "--version") {
      command.kind = CommandKind::Version;
      return true;
    }
  }
  const std::vector<OptionDecl>& decls = Declarations();
  std::vector<CLI::Option*> options;
  const std::unique_ptr<CLI::App> app = MakeApp(decls, options);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app->parse(reversed);
  } catch (const CLI::ParseError& e) {
    error = Translated(e);
    return false;
  }
  // A missing value, taken from the next option: "--N --kink 0:0.5".
  for (size_t k = 0; k < decls.size(); ++k)
    for (const std::string& value : options[k]->results())
      if (decls[k].value && IsDeclared(decls, value)) {
        error = std::string(decls[k].name) + " needs a value";
        return false;
      }
  for (const std::string& word : app->remaining()) {
    error = word.rfind("-", 0) == 0 ? word + ": unknown option"
                                    : word + ": not an option (a value follows the option it belongs to)";
    return false;
  }

  Reading r;
  for (size_t k = 0; k < 4; ++k)
    if (app->get_option(kSources[k])->count() > 0) r.mode = (k == 0 ? kGrid : k == 1 ? kFromCsv : k == 2 ? kFromH5 : kMerge);
  for (size_t k = 0; k < decls.size(); ++k)
    if (options[k]->count() > 0 && !(decls[k].modes & r.mode)) {
      error = NotInMode(decls[k], r.mode);
      return false;
    }
  // The values, in the order given: a --setup's values yield to the options after it.
  std::map<const CLI::Option*, size_t> used;
  for (const CLI::Option* o : app->parse_order()) {
    const size_t k = static_cast<size_t>(std::find(options.begin(), options.end(), o) - options.begin());
    if (k == decls.size()) continue;  // --help and --version were seen before
    const OptionDecl& d = decls[k];
    const std::vector<std::string>& results = o->results();
    const std::string value = d.value && used[o] < results.size() ? results[used[o]] : std::string();
    ++used[o];
    r.given[d.name] = value;
    try {
      d.read(value, r);
    } catch (const Refused& refused) {
      const bool named = d.value && !refused.namesValue;
      error = (named ? std::string(d.name) + " " + value : std::string(d.name)) + ": " + refused.why;
      return false;
    }
  }
  if (!(r.mode == kRun ? CheckRun(r, error) : CheckScan(r, error))) return false;

  std::string line = "kinklab-run";
  for (const std::string& arg : args) line += ' ' + ShellWord(arg);
  command.kind = r.mode == kRun ? CommandKind::Run : CommandKind::Scan;
  command.run = std::move(r.run);
  command.scan = std::move(r.scan);
  command.run.command = command.scan.command = line;
  return true;
}

std::string HelpText() {
  std::vector<CLI::Option*> options;
  return cli::MakeApp(cli::Declarations(), options)->help();
}

std::string OptionsMarkdown(const std::vector<std::string>& groups) {
  auto cell = [](std::string text) {
    for (size_t k = 0; (k = text.find('|', k)) != std::string::npos; k += 2) text.insert(k, "\\");
    return text;
  };
  std::string table = "| option | meaning | default |\n|---|---|---|\n";
  for (const std::string& group : groups)
    for (const cli::OptionDecl& d : cli::Declarations()) {
      if (group != d.group) continue;
      std::string meaning = d.meaning;
      if (d.needs) meaning += "; needs `" + std::string(d.needs) + "`";
      table += "| `" + cell(std::string(d.name) + (d.value ? " " + std::string(d.value) : "")) + "` | " +
               cell(meaning) + " | " + cell(d.fallback ? d.fallback : "") + " |\n";
    }
  return table;
}

bool ParseRunnerArgs(const std::vector<std::string>& args, RunnerOptions& options, std::string& error) {
  Command c;
  if (!ReadCommandLine(args, c, error)) return false;
  if (c.kind != CommandKind::Run) {
    error = c.kind == CommandKind::Scan ? "a scan, not a single run" : "--help and --version run nothing";
    return false;
  }
  options = std::move(c.run);
  return true;
}

bool ParseScanArgs(const std::vector<std::string>& args, ScanOptions& options, std::string& error) {
  Command c;
  if (!ReadCommandLine(args, c, error)) return false;
  if (c.kind == CommandKind::Run) {
    error = "--scan V0:V1:DV is missing";
    return false;
  }
  if (c.kind != CommandKind::Scan) {
    error = "--help and --version run nothing";
    return false;
  }
  options = std::move(c.scan);
  return true;
}

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

bool HasScanOption(const std::vector<std::string>& args) {
  for (const char* name : cli::kSources)
    if (std::find(args.begin(), args.end(), name) != args.end()) return true;
  return false;
}

}  // namespace kl
