#include "Results.h"

#include "harness/Process.h"
#include "ScopedWin.h"

#include <windows.h>

#include <shlwapi.h>
#include <wrl/client.h>
#include <xmllite.h>

namespace bundle {

namespace {

using Microsoft::WRL::ComPtr;

// The value of attribute `name` of the element the reader is on, or "".
std::string Attribute(IXmlReader* reader, const wchar_t* name) {
  const wchar_t* value = nullptr;
  if (reader->MoveToAttributeByName(name, nullptr) != S_OK || FAILED(reader->GetValue(&value, nullptr))) return {};
  return e2e::Narrow(value);
}

}  // namespace

DriverResults ReadResults(const std::wstring& xmlPath) {
  DriverResults results;
  // Windows has xmllite.dll since Vista, Wine has it too; MinGW has no
  // import library for it. Loaded once, for the runner's whole life.
  static const lumidial::UniqueLibrary xmllite(LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  const auto create =
      lumidial::ProcAddress<HRESULT(WINAPI*)(REFIID, void**, IMalloc*)>(xmllite.get(), "CreateXmlReader");
  ComPtr<IStream> file;
  ComPtr<IXmlReader> reader;
  if (!create || FAILED(SHCreateStreamOnFileEx(xmlPath.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, 0, FALSE,
                                               nullptr, &file)) ||
      FAILED(create(__uuidof(IXmlReader), &reader, nullptr)) || FAILED(reader->SetInput(file.Get()))) {
    return results;
  }
  std::vector<TestOutcome>& outcomes = results.outcomes;
  std::string suite;
  // The message being read: the text of a test's first <failure>, or of
  // its <skipped> (its attribute "message" says the same, but its line
  // ends are not kept alike everywhere).
  std::string* message = nullptr;
  XmlNodeType node;
  HRESULT read;
  while ((read = reader->Read(&node)) == S_OK) {
    const wchar_t* text = nullptr;
    if (node == XmlNodeType_CDATA || node == XmlNodeType_Text) {
      if (message && SUCCEEDED(reader->GetValue(&text, nullptr))) *message += e2e::Narrow(text);
      continue;
    }
    message = nullptr;
    if (node != XmlNodeType_Element || FAILED(reader->GetLocalName(&text, nullptr))) continue;
    const std::wstring name = text;
    if (name == L"testsuite") {
      suite = Attribute(reader.Get(), L"name");
    } else if (name == L"testcase") {
      TestOutcome& outcome = outcomes.emplace_back();
      outcome.name = suite + "." + Attribute(reader.Get(), L"name");
      if (Attribute(reader.Get(), L"status") == "notrun") {
        outcome = {TestOutcome::kSkipped, outcome.name, "disabled (DISABLED_ in its name)"};
      } else if (Attribute(reader.Get(), L"result") == "skipped") {
        outcome = {TestOutcome::kSkipped, outcome.name, "skipped without a reason"};
      }
    } else if (name == L"failure" && !outcomes.empty() && outcomes.back().kind != TestOutcome::kFailed) {
      outcomes.back() = {TestOutcome::kFailed, outcomes.back().name, ""};
      message = &outcomes.back().message;
    } else if (name == L"skipped" && !outcomes.empty() && outcomes.back().kind == TestOutcome::kSkipped) {
      outcomes.back().message.clear();
      message = &outcomes.back().message;
    }
  }
  // A skip's message starts with the line "file:line" of its GTEST_SKIP.
  for (TestOutcome& outcome : outcomes) {
    const size_t lineEnd = outcome.message.find('\n');
    if (outcome.kind == TestOutcome::kSkipped && lineEnd != std::string::npos) outcome.message.erase(0, lineEnd + 1);
  }
  // The end of the document: a file cut short ends in an error instead.
  results.complete = read == S_FALSE;
  return results;
}

}  // namespace bundle
