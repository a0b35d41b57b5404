#pragma once
// The program's version, set once in the build (the project's VERSION) and shown by the runner,
// the help tab and in what the runner writes.

namespace kl {

// "0.2.0"
const char* ProgramVersion();
// "KinkLab 0.2.0"
const char* ProgramNameAndVersion();

}  // namespace kl
