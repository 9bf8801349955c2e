// lumidial_state_probe.exe: prints what a test run may change on this
// machine, one line a fact, so that run-under-wine.sh can compare the
// machine before a run of the bundle and after it.
#include "harness/Registry.h"

#include <cstdio>

int main() { return std::fputs(e2e::user_state::Describe().c_str(), stdout) < 0; }
