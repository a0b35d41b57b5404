// kinklab-run: scripted runs and parameter scans without the window.
#include <iostream>
#include <string>
#include <vector>

#include "app/version.h"
#include "cli/options.h"
#include "cli/run_command.h"
#include "cli/scan_command.h"

int main(int argc, char** argv) {
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
      return kl::RunScanMain(command.scan, std::cout, std::cerr);
    case kl::CommandKind::Run:
      break;
  }
  return kl::RunHeadlessMain(command.run, std::cout, std::cerr);
}
