// What a test run changes on the machine it runs on, kept before it changes
// anything and put back after: the user's Lumidial settings (every value,
// and the key's owner, group and access list), the desktop's screen-saver
// values, the screen-saver-running flag and any Lumidial installed (from a
// copy of its package). The copy stays in the registry and in a folder of
// the user's until it is put back, so that a run stopped half-way leaves it
// for the next run, which puts it back before anything else.
//
// The runner keeps the copy for a whole bundle run and tells its drivers so
// (LUMIDIAL_STATE_KEPT); a driver run on its own keeps one for itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e::user_state {

// True when a copy is waiting to be put back.
bool Kept();

// Puts back what a run stopped half-way left (and forgets it), then keeps a
// copy of the state now. Empty when all went well; else what did not.
std::string Keep();

// Puts the kept state back. `forget` then removes the copy and every trace
// of the run (its scratch folder, the tests' own registry key). Empty when
// all went well; else what could not be put back.
std::string PutBack(bool forget);

// The state as it is now, one line a fact, to compare before and after.
std::string Describe();

// The copy of the package of the installed Lumidial `productCode`, if one
// is kept.
bool HoldsPackageOf(const std::wstring& productCode);

// The owner, group and access list of an HKCU key, in the platform's own
// notation (SDDL); empty when they cannot be read.
std::wstring Rights(const wchar_t* key);
// Gives an HKCU key the rights `sddl` names (its owner may always change
// them); empty, or what went wrong.
std::string SetRights(const wchar_t* key, const std::wstring& sddl);

// A folder for a scenario's files (%TEMP%\Lumidial tests\NAME), made
// empty; the run removes it with every trace when it forgets the copy.
std::wstring ScratchFolder(const wchar_t* name);

}  // namespace e2e::user_state
