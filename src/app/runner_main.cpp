// kinklab-run: scripted runs and parameter scans without the window.
#include <iostream>
#include <string>
#include <vector>

#include "app/runner.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << "usage: kinklab-run [--setup FILE.kq1] [--kind K] [--L X] [--N 256|512|1024]\n"
                 "                   [--kink C:V]... [--rotator kF_Re,kF_Im,kD,qL,qR] [--mark A:B]...\n"
                 "                   [--t T] [--log NAME --log-period P] [--energy FILE] [--dump FILE]\n"
                 "                   [--png FILE [--size WxH] [--energy-picture] [--colours N]]\n"
                 "--setup takes kind, L, N, kinks, method, rotator and log period from a saved setup;\n"
                 "options are read in order, so those after it override the file's values.\n";
    return 0;
  }
  kl::RunnerOptions options;
  std::string error;
  if (!kl::ParseRunnerArgs(args, options, error)) {
    std::cerr << "kinklab-run: " << error << '\n';
    return 2;
  }
  return kl::RunHeadless(options, std::cout, std::cerr);
}
