#include "base/version.h"

#ifndef KINKLAB_VERSION
#error "KINKLAB_VERSION is set by the build from the project's version"
#endif

namespace kl {

const char* ProgramVersion() { return KINKLAB_VERSION; }
const char* ProgramNameAndVersion() { return "KinkLab " KINKLAB_VERSION; }

}  // namespace kl
