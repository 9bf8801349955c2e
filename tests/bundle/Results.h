// The drivers' results as GoogleTest writes them (--gtest_output=xml), read
// back with the platform's XML reader (XmlLite) for the runner's summary:
// every <testcase>, with its first failure or its reason to skip. A test
// list (--gtest_list_tests with XML output) reads the same way, every test
// in it "passed".
#pragma once

#include <string>
#include <vector>

namespace bundle {

struct TestOutcome {
  enum Kind { kPassed, kFailed, kSkipped } kind = kPassed;
  std::string name;     // Suite.Test
  std::string message;  // the first failure's ("file:line" first), or the skip's reason (UTF-8)
};

struct DriverResults {
  bool complete = false;  // the file was read to its end: GoogleTest wrote it all
  std::vector<TestOutcome> outcomes;
};

// The test cases of one XML file, as far as it was written.
DriverResults ReadResults(const std::wstring& xmlPath);

}  // namespace bundle
