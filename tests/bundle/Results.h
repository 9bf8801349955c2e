// The drivers' results as GoogleTest writes them (--gtest_output=xml), read
// back for the runner's summary: every <testcase>, with its first failure
// or its reason to skip.
#pragma once

#include <string>
#include <vector>

namespace bundle {

struct TestOutcome {
  enum Kind { kPassed, kFailed, kSkipped } kind = kPassed;
  std::string name;     // Suite.Test
  std::string message;  // the first failure's, or the skip's reason (UTF-8)
};

struct DriverResults {
  bool complete = false;  // the file ends as GoogleTest ends it
  std::vector<TestOutcome> outcomes;
};

// The test cases of one XML file, as far as it was written.
DriverResults ReadResults(const std::wstring& xmlPath);

// GoogleTest's message starts with the line "file:line" of the check that
// failed (or skipped): that line without the file's folders, and the rest.
std::string WithoutFolders(const std::string& message);
std::string WithoutLocation(const std::string& message);

}  // namespace bundle
