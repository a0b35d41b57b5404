// kinklab-run: scripted runs and parameter scans without the window.
#include <iostream>
#include <string>
#include <vector>

#include "cli/run_command.h"
#include "cli/scan_command.h"
#include "app/version.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--version") {
    std::cout << "kinklab-run " << kl::ProgramVersion() << '\n';
    return 0;
  }
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << "usage: kinklab-run --version\n"
                 "   or: kinklab-run [--setup FILE.kq1] [--kind K] [--L X] [--N 256|512|1024]\n"
                 "                   [--kink C:V]... [--rotator kF_Re,kF_Im,kD,qL,qR] [--mark A:B]...\n"
                 "                   [--t T] [--log NAME --log-period P] [--energy FILE] [--dump FILE]\n"
                 "                   [--png FILE [--size WxH] [--energy-picture] [--colours N]]\n"
                 "                   [--precision extended|double] [--threads N]\n"
                 "                   [--h5 FILE [--h5-every K] [--h5-range A:B] [--h5-stride S]]\n"
                 "                   [--movie FILE.gif [--movie-every K] [--movie-size WxH]]\n"
                 "--setup takes kind, L, N, kinks, method, rotator and log period from a saved setup;\n"
                 "options are read in order, so those after it override the file's values.\n"
                 "--precision double computes the step in double instead of extended precision\n"
                 "(several times faster); --threads caps the threads of a wide step (default: all cores).\n"
                 "--h5 records t, x, u, r, energy and the marks every K steps (default: about 1000 rows)\n"
                 "on the points of [A, B] (default [-L, L]), every S-th; --movie writes an animated GIF of\n"
                 "the two strips (default 640x360, about 300 frames). Ctrl-C stops the run and writes it.\n"
                 "   or: kinklab-run --scan V0:V1:DV [--separation C] [--kind K] [--L X] [--N N] [--t T]\n"
                 "                   [--scan-csv FILE] [--scan-png FILE [--colours N]] [--scan-h5 FILE] [--jobs J]\n"
                 "                   [--scan-part K/N | --scan-part auto [--scan-parts N]]\n"
                 "                   [--refine TOL [--edges FILE]]\n"
                 "   or: kinklab-run --from-csv SCAN.csv --refine TOL [--edges FILE] [--scan-part K/N] [options of the scan]\n"
                 "   or: kinklab-run --from-h5 SCAN.h5 --refine TOL [--edges FILE] [--scan-part K/N] [outputs]\n"
                 "   or: kinklab-run --scan-merge A.h5 B.h5 ... [--scan-csv FILE] [--scan-png FILE] [--scan-h5 FILE]\n"
                 "--scan collides a kink at -C and an antikink at +C for every speed V0, V0+DV, ..., V1;\n"
                 "--refine bisects every pair of neighbours of different outcome until less than TOL apart.\n";
    return 0;
  }
  if (kl::HasScanOption(args)) return kl::RunScanMain(args, std::cout, std::cerr);
  return kl::RunHeadlessMain(args, std::cout, std::cerr);
}
