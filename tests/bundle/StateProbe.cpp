// lumidial_state_probe.exe [RIGHTS]: prints what a test run may change on
// this machine, one line a fact, so that run-under-wine.sh can compare the
// machine before a run of the bundle and after it. Given RIGHTS (SDDL), it
// first gives the user's settings key those, as an administrator may have.
#include "harness/Process.h"
#include "harness/Registry.h"

#include <cstdio>

int main(int argc, char** argv) {
  const std::string problem = argc > 1 ? e2e::SetRights(e2e::ScratchRegistry::kKeyPath, e2e::Widen(argv[1])) : "";
  return std::fputs((problem + e2e::user_state::Describe()).c_str(), stdout) < 0 || !problem.empty();
}
