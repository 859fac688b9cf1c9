#pragma once
// Scratch keys of the live registry for the Windows tests: each below
// HKEY_CURRENT_USER\Software\VeldanTest, unique to the process and call.

#include <string>

namespace veldan::test {

// A new scratch key path (of HKEY_CURRENT_USER); the key is not created.
std::string NewScratchKey();
// Deletes a scratch key with its tree.
void DeleteScratchKey(const std::string& path);
// True when the tests run under Wine rather than on Windows.
bool RunningUnderWine();

}  // namespace veldan::test
