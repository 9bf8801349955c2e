// lumidial_run_tests.exe: runs the end-to-end tests of the Windows test
// bundle on the machine it is unpacked on, as run-tests.cmd starts it (see
// README.txt beside it). It checks first that the tests can drive the
// desktop (Preflight), then runs each driver the bundle lists, with
// GoogleTest's XML output into results\, and sums up what the XML files say.
// The scenarios only Wine can stage (harness/Wine.h) it lists as not run
// here, with their reasons.
// Its last line is always "N passed, N failed, N skipped". Its usage is
// kUsageText below; its exit status is README.txt's (ExitStatus below; 3 also for a results
// folder it cannot write).
//
// What the run changes on the machine (harness/Registry.h) is kept before and put
// back after, also when it is interrupted. The drivers, and whatever they
// start, run in a job that ends them all when the runner ends, however it
// ends; one ended from outside leaves its copy for the next run to put back.
// The bundle's folders and its bin\bundle.txt: CMakeLists.txt beside this file.
#include "harness/Process.h"
#include "Preflight.h"
#include "Results.h"
#include "ScopedWin.h"
#include "harness/Registry.h"
#include "harness/Wine.h"

#include <windows.h>

#include <conio.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using bundle::TestOutcome;

enum ExitStatus { kPassed = 0, kFailed = 1, kRefused = 2, kUsage = 3, kInterrupted = 4 };

using e2e::Narrow;
using e2e::Widen;

// Everything printed is UTF-8 (the console's code page is set to it while
// the runner runs); flushed at once, since the drivers share the output.
void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}
void Print(const std::wstring& text) { Print(Narrow(text)); }

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return _wcsnicmp(text.c_str(), prefix, std::wcslen(prefix)) == 0;
}

struct Options {
  bool installer = false;
  std::wstring filter;
  DWORD timeoutMinutes = 30;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (_wcsicmp(arg.c_str(), L"/installer") == 0) {
      options.installer = true;
    } else if (StartsWith(arg, L"/filter:") && arg.size() > 8) {
      options.filter = arg.substr(8);
    } else if (StartsWith(arg, L"/timeout:") && _wtoi(arg.c_str() + 9) > 0) {
      options.timeoutMinutes = static_cast<DWORD>(_wtoi(arg.c_str() + 9));
    } else {
      return false;
    }
  }
  return true;
}

const char kUsageText[] =
    "run-tests.cmd [/installer] [/filter:PATTERN] [/timeout:MINUTES]\n"
    "  /installer        also the installer's scenarios (they install Lumidial for the whole machine:\n"
    "                    run from a prompt opened as administrator)\n"
    "  /filter:PATTERN   only the tests GoogleTest's filter selects, e.g. /filter:Dialog.*:Host.*\n"
    "  /timeout:MINUTES  how long one driver may take before it is stopped (30)\n";

// bin\bundle.txt's lines, the paths from the bundle's folder.
struct Driver {
  std::wstring name, path;
};
struct BundleList {
  std::vector<Driver> drivers;
  std::vector<std::pair<std::wstring, std::wstring>> environment;
};

bool ReadBundleList(const std::wstring& root, BundleList& list, std::wstring& error) {
  const std::wstring path = root + L"\\bin\\bundle.txt";
  // The file is closed on every way out.
  const std::unique_ptr<FILE, int (*)(FILE*)> file(_wfopen(path.c_str(), L"rb"), &std::fclose);
  if (!file) {
    error = path + L" cannot be read: unpack the whole bundle again.";
    return false;
  }
  char line[4096], kind[8], name[256], value[4096];
  while (std::fgets(line, sizeof line, file.get())) {
    if (line[0] == '#' || line[0] == '\r' || line[0] == '\n') continue;
    if (std::sscanf(line, "%7[^\t]\t%255[^\t]\t%4095[^\t\r\n]", kind, name, value) != 3 ||
        (std::strcmp(kind, "driver") && std::strcmp(kind, "file") && std::strcmp(kind, "value"))) {
      error = path + L": a line this runner does not know: " + Widen(line);
      return false;
    }
    // A driver's and a file's path is from the bundle's folder.
    const std::wstring full = std::strcmp(kind, "value") ? root + L"\\" + Widen(value) : Widen(value);
    if (std::strcmp(kind, "driver") == 0) {
      list.drivers.push_back({Widen(name), full});
    } else {
      list.environment.emplace_back(Widen(name), full);
    }
  }
  return true;
}

bool RunsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  lumidial::UniqueHandle owned(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

// Removes what an earlier run left in results\, so that only this run's
// files are read and kept.
void ClearResults(const std::wstring& results) {
  std::error_code ignored;
  for (const auto& file : std::filesystem::directory_iterator(results, ignored))
    if (file.path().extension() == L".xml" || file.path().extension() == L".bmp")
      std::filesystem::remove(file, ignored);
}

// Every driver, and everything it starts, in one job that ends them all
// when its last handle closes: the runner's, when the runner ends.
struct Drivers {
  lumidial::UniqueHandle job = e2e::NewKillOnCloseJob();
  std::mutex starting;  // held while a driver starts, and by an interruption
  bool interrupted = false;
  UINT codePage = 0;    // the console's, to put back
};
Drivers* gDrivers = nullptr;

// Ctrl+C, Ctrl+Break, the console window closed, the user logging off:
// the drivers end, the user's state is put back, and so is the console.
BOOL WINAPI Interrupted(DWORD) noexcept {
  {
    std::lock_guard lock(gDrivers->starting);
    gDrivers->interrupted = true;
    TerminateJobObject(gDrivers->job.get(), kInterrupted);
  }
  const std::string problems = e2e::user_state::PutBack(true);
  Print("\nInterrupted: the tests were stopped, and what they changed was put back.\n" +
        (problems.empty() ? std::string() : "Except:\n" + problems));
  if (gDrivers->codePage) SetConsoleOutputCP(gDrivers->codePage);
  ExitProcess(kInterrupted);
}

// Runs `driver` with `arguments` and the environment this process has, in
// the drivers' job, waiting at most `timeoutMinutes`; it shares this
// console unless `quiet`. Empty when it ended by itself; else what went
// wrong.
std::wstring RunDriver(const std::wstring& root, const Driver& driver, const std::wstring& arguments,
                       const Options& options, bool quiet) {
  // No colours: GoogleTest built by MinGW writes them as escape sequences,
  // which not every console shows as colours (Wine's prints them).
  std::wstring commandLine = L"\"" + driver.path + L"\" --gtest_color=no " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  // Quiet, it has no standard handles: what it writes there goes nowhere.
  if (quiet) startup.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION info{};
  lumidial::UniqueHandle process, thread;
  {
    std::lock_guard lock(gDrivers->starting);
    if (gDrivers->interrupted) return L"not started: the run was interrupted";
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        root.c_str(), &startup, &info)) {
      return L"could not be started (error " + std::to_wstring(GetLastError()) + L")";
    }
    process.reset(info.hProcess);
    thread.reset(info.hThread);
    if (!AssignProcessToJobObject(gDrivers->job.get(), process.get())) {
      const DWORD error = GetLastError();
      TerminateProcess(process.get(), 1);
      return L"could not be put in the drivers' job (error " + std::to_wstring(error) + L")";
    }
    ResumeThread(thread.get());
  }
  if (WaitForSingleObject(process.get(), options.timeoutMinutes * 60 * 1000) != WAIT_OBJECT_0) {
    // Its savers and probes are in kill-on-close jobs of its own: they end
    // with it. The next driver puts the user's state back first.
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 10000);
    return L"did not finish within " + std::to_wstring(options.timeoutMinutes) +
           (options.timeoutMinutes == 1 ? L" minute" : L" minutes") + L": stopped";
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  // GoogleTest ends with 1 when a test failed; anything else is a crash or
  // a failure outside the tests.
  if (code == 0 || code == 1) return {};
  return L"ended with " + Widen(e2e::ExitCodeText(code));
}

// The names, a line of at most 100 characters at a time.
void PrintNames(const std::vector<std::string>& names) {
  std::string line = "   ";
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string item = " " + names[i] + (i + 1 < names.size() ? "," : "");
    if (line.size() + item.size() > 100) {
      Print(line + "\n");
      line = "   ";
    }
    line += item;
  }
  Print(line + "\n");
}

// The scenarios not run here by reason, the failures with their first
// message, the skipped tests by reason, the drivers that did not end well,
// and the one closing line.
int Summarise(const std::vector<TestOutcome>& outcomes, const std::map<std::string, std::vector<std::string>>& notRunHere,
              const std::vector<std::wstring>& driverProblems, const std::wstring& results) {
  int passed = 0, failed = 0, skipped = 0;
  std::map<std::string, std::vector<std::string>> byReason;
  std::string failures;
  for (const TestOutcome& outcome : outcomes) {
    switch (outcome.kind) {
      case TestOutcome::kPassed:
        ++passed;
        break;
      case TestOutcome::kSkipped:
        ++skipped;
        byReason[outcome.message].push_back(outcome.name);
        break;
      case TestOutcome::kFailed: {
        ++failed;
        failures += "FAILED  " + outcome.name + "\n";
        // The message's first lines: where (without the file's folders),
        // and what it found.
        const size_t folders = outcome.message.find_last_of("/\\", outcome.message.find('\n'));
        const std::string message = outcome.message.substr(folders == std::string::npos ? 0 : folders + 1);
        size_t at = 0;
        for (int line = 0; line < 8 && at < message.size(); ++line) {
          const size_t end = message.find('\n', at);
          failures += "    " + message.substr(at, end == std::string::npos ? std::string::npos : end - at) + "\n";
          at = end == std::string::npos ? message.size() : end + 1;
        }
        break;
      }
    }
  }
  Print("\n");
  for (const auto& [reason, names] : notRunHere) {
    Print("NOT RUN HERE (Wine only): " + reason.substr(std::strlen(e2e::kWineOnlySkip)) + "\n");
    PrintNames(names);
  }
  for (const auto& [reason, names] : byReason) {
    Print("SKIPPED " + std::to_string(names.size()) + ": " + reason + "\n");
    PrintNames(names);
  }
  Print(failures);
  for (const std::wstring& problem : driverProblems) {
    ++failed;
    Print(L"FAILED  " + problem + L"\n");
  }
  if (failed) Print(L"Results and screenshots of failed screen checks: " + results + L"\n");
  Print(std::to_string(passed) + " passed, " + std::to_string(failed) + " failed, " + std::to_string(skipped) +
        " skipped\n");
  return failed ? kFailed : kPassed;
}

// Double-clicked, run-tests.cmd runs in a console window of its own that
// closes when it ends: then the runner waits for a key first, so the user
// can read the summary. run-tests.cmd hands over cmd's command line
// (LUMIDIAL_CMDLINE): Explorer starts "cmd /c <the script's full path>";
// a prompt runs the script in its own cmd, and shares the window besides.
bool ShouldPause(const std::wstring& root) {
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return false;  // nobody to press a key
  DWORD processes[4];
  if (GetConsoleProcessList(processes, 4) > 2) return false;  // more than cmd and the runner
  wchar_t buffer[4096] = {};
  if (!GetEnvironmentVariableW(L"LUMIDIAL_CMDLINE", buffer, 4096)) return false;
  std::wstring line = buffer, script = root + L"\\run-tests.cmd";
  CharLowerW(line.data());
  CharLowerW(script.data());
  return line.find(L"/c") != std::wstring::npos && line.find(script) != std::wstring::npos;
}

int Run(int argc, wchar_t** argv, const std::wstring& root) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    Print(kUsageText);
    return kUsage;
  }
  // Before anything else: what an interrupted run left is put back, and a
  // copy of the user's state kept.
  if (const std::string problems = e2e::user_state::Keep(); !problems.empty()) {
    Print("The tests were not run: the state they change could not be kept to be put back after.\n" + problems);
    e2e::user_state::PutBack(true);
    return kRefused;
  }
  BundleList list;
  std::wstring error;
  if (!ReadBundleList(root, list, error)) {
    Print(error + L"\n");
    return kUsage;
  }
  const std::wstring results = root + L"\\results";
  if (!CreateDirectoryW(results.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    Print(results + L" cannot be made (error " + std::to_wstring(GetLastError()) +
          L"): unpack the bundle into a folder you may write to.\n");
    return kUsage;
  }
  ClearResults(results);

  if (const std::wstring problem = bundle::InputProblem(); !problem.empty()) {
    Print(L"The tests were not run. " + problem + L"\n");
    return kRefused;
  }

  for (const auto& [name, value] : list.environment) SetEnvironmentVariableW(name.c_str(), value.c_str());
  SetEnvironmentVariableW(L"LUMIDIAL_BUNDLE", L"1");
  SetEnvironmentVariableW(L"LUMIDIAL_STATE_KEPT", L"1");
  SetEnvironmentVariableW(L"LUMIDIAL_RUNNER_PID", std::to_wstring(GetCurrentProcessId()).c_str());
  SetEnvironmentVariableW(L"LUMIDIAL_E2E_ARTIFACTS", results.c_str());
  SetEnvironmentVariableW(L"LUMIDIAL_INSTALLER", nullptr);
  if (options.installer && RunsElevated()) {
    SetEnvironmentVariableW(L"LUMIDIAL_INSTALLER", L"1");
  } else if (options.installer) {
    Print("The installer's scenarios need an administrator: they are skipped. To run them, open a prompt "
          "as administrator and run run-tests.cmd /installer there.\n");
  }

  std::vector<TestOutcome> outcomes;
  std::map<std::string, std::vector<std::string>> notRunHere;  // by reason
  std::vector<std::wstring> driverProblems;
  const std::wstring filter = options.filter.empty() ? L"" : L" \"--gtest_filter=" + options.filter + L"\"";
  for (const Driver& driver : list.drivers) {
    Print(L"\n=== " + driver.name + L"\n");
    // Runs the driver with `arguments`, its XML into results\<driver><ending>,
    // and keeps what went wrong. What a driver stopped half-way wrote
    // counts too.
    auto run = [&](const wchar_t* ending, const std::wstring& arguments, bool quiet) {
      const std::wstring xml = results + L"\\" + driver.name + ending;
      const std::wstring problem = RunDriver(root, driver, L"\"--gtest_output=xml:" + xml + L"\" " + arguments,
                                             options, quiet);
      bundle::DriverResults found = bundle::ReadResults(xml);
      if (!problem.empty()) {
        driverProblems.push_back(driver.name + L" " + problem);
      } else if (!found.complete) {
        driverProblems.push_back(driver.name + L" wrote no complete results (" + xml + L")");
      }
      return found;
    };
    // Its tests that the filter selects, by name (in XML, under a name that
    // no reader of results takes for them). The Wine-only ones (harness/Wine.h)
    // run apart and quietly, only for the reasons they skip with.
    const bundle::DriverResults listed = run(L".list", L"--gtest_list_tests" + filter, true);
    DeleteFileW((results + L"\\" + driver.name + L".list").c_str());
    std::wstring names[2];  // to run here, and Wine-only
    for (const TestOutcome& test : listed.outcomes) {
      std::wstring& same = names[e2e::IsWineOnly(test.name)];
      same += (same.empty() ? L"" : L":") + Widen(test.name);
    }
    for (const bool wineOnly : {false, true}) {
      if (names[wineOnly].empty()) continue;
      for (const TestOutcome& outcome :
           run(wineOnly ? L".wine-only.xml" : L".xml", L"--gtest_filter=" + names[wineOnly], wineOnly).outcomes) {
        if (outcome.kind == TestOutcome::kSkipped && outcome.message.rfind(e2e::kWineOnlySkip, 0) == 0) {
          notRunHere[outcome.message].push_back(outcome.name);
        } else {
          outcomes.push_back(outcome);
        }
      }
    }
  }
  const std::string problems = e2e::user_state::PutBack(true);
  if (!problems.empty()) driverProblems.push_back(L"putting back what the tests changed: " + Widen(problems));
  return Summarise(outcomes, notRunHere, driverProblems, results);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Pointer positions in physical pixels on every monitor, as the drivers
  // count them.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  Drivers drivers;
  gDrivers = &drivers;
  const UINT codePage = drivers.codePage = GetConsoleOutputCP();
  SetConsoleCtrlHandler(Interrupted, TRUE);
  SetConsoleOutputCP(CP_UTF8);
  // The display and the machine stay awake while the tests run (a screen
  // saver is not kept off by this; the tests' own input keeps it off).
  SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED);

  // The bundle's folder: the one above this program's bin\.
  wchar_t self[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  const std::wstring root = std::filesystem::path(self).parent_path().parent_path().wstring();

  const int status = Run(argc, argv, root);
  // Said in the window's title, so that the summary stays the last line.
  if (ShouldPause(root)) {
    SetConsoleTitleW(L"Lumidial tests: finished. Press a key to close this window.");
    _getwch();
  }
  if (codePage) SetConsoleOutputCP(codePage);
  return status;
}
