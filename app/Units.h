// Start-up and clean-up code of the program's units, run by the process
// entry around everything else (and by Halt).
#pragma once

namespace lumidial {

void InitializeUnits();
void FinalizeUnits() noexcept;

}  // namespace lumidial
