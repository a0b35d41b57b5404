// kinklab-run: scripted runs and parameter scans without the window.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "base/version.h"
#include "cli/options.h"
#include "cli/run_command.h"
#include "cli/scan_command.h"

namespace {

// What the command returns, or 1 when its results could not all reach standard output (a
// closed pipe, a full disk): rows that are nowhere are never reported as written.
int Checked(int status) {
  std::cout.flush();
  if (!std::cout.good() && status == 0) {
    std::cerr << "kinklab-run: cannot write standard output\n";
    return 1;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Progress written to a closed pipe (piped into head, a terminal gone) is dropped: the write
  // fails and the work goes on, rather than the signal ending the process before its files.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  kl::Command command;
  std::string error;
  if (!kl::ReadCommandLine(args, command, error)) {
    std::cerr << "kinklab-run: " << error << '\n';
    return 2;
  }
  switch (command.kind) {
    case kl::CommandKind::Help:
      std::cout << kl::HelpText();
      return 0;
    case kl::CommandKind::Version:
      std::cout << "kinklab-run " << kl::ProgramVersion() << '\n';
      return 0;
    case kl::CommandKind::Scan:
      return Checked(kl::RunScanMain(command.scan, std::cout, std::cerr));
    case kl::CommandKind::Run:
      break;
  }
  return Checked(kl::RunHeadlessMain(command.run, std::cout, std::cerr));
}
