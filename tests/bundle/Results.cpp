#include "Results.h"

#include <cstdio>
#include <cstdlib>

namespace bundle {

namespace {

std::string ReadFile(const std::wstring& path) {
  std::string content;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return content;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) content.append(buffer, n);
  std::fclose(file);
  return content;
}

void AppendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// An attribute's text with XML's character references replaced.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t end = text[i] == '&' ? text.find(';', i) : std::string::npos;
    if (end == std::string::npos) {
      out += text[i];
      continue;
    }
    const std::string entity = text.substr(i + 1, end - i - 1);
    if (entity == "lt") out += '<';
    else if (entity == "gt") out += '>';
    else if (entity == "amp") out += '&';
    else if (entity == "quot") out += '"';
    else if (entity == "apos") out += '\'';
    else if (entity.size() > 2 && entity[0] == '#' && (entity[1] == 'x' || entity[1] == 'X'))
      AppendUtf8(out, std::strtoul(entity.c_str() + 2, nullptr, 16));
    else if (entity.size() > 1 && entity[0] == '#')
      AppendUtf8(out, std::strtoul(entity.c_str() + 1, nullptr, 10));
    else
      out += text.substr(i, end - i + 1);
    i = end;
  }
  return out;
}

// The value of attribute `name` in the start tag `tag` ("<testcase a="b" ...").
std::string Attribute(const std::string& tag, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const size_t start = tag.find(key);
  if (start == std::string::npos) return {};
  const size_t from = start + key.size(), to = tag.find('"', from);
  return to == std::string::npos ? std::string() : Unescape(tag.substr(from, to - from));
}

// The start tag of the first element `name` in `text` from `from`, or "".
std::string StartTag(const std::string& text, const std::string& name, size_t from = 0) {
  const size_t start = text.find("<" + name + " ", from);
  if (start == std::string::npos) return {};
  const size_t end = text.find('>', start);
  return end == std::string::npos ? std::string() : text.substr(start, end - start + 1);
}

}  // namespace

DriverResults ReadResults(const std::wstring& xmlPath) {
  const std::string xml = ReadFile(xmlPath);
  DriverResults results;
  results.complete = xml.find("</testsuites>") != std::string::npos;
  std::vector<TestOutcome>& outcomes = results.outcomes;
  for (size_t at = xml.find("<testcase "); at != std::string::npos; at = xml.find("<testcase ", at + 1)) {
    const std::string tag = StartTag(xml, "testcase", at);
    if (tag.empty()) break;
    // Its children, up to its end tag (none when the tag closes itself).
    std::string body;
    if (tag.size() < 2 || tag[tag.size() - 2] != '/') {
      const size_t end = xml.find("</testcase>", at);
      body = xml.substr(at + tag.size(), end == std::string::npos ? std::string::npos : end - at - tag.size());
    }
    TestOutcome outcome;
    outcome.name = Attribute(tag, "classname") + "." + Attribute(tag, "name");
    if (const std::string failure = StartTag(body, "failure"); !failure.empty()) {
      outcome.kind = TestOutcome::kFailed;
      outcome.message = Attribute(failure, "message");
    } else if (const std::string skipped = StartTag(body, "skipped"); !skipped.empty()) {
      outcome.kind = TestOutcome::kSkipped;
      outcome.message = WithoutLocation(Attribute(skipped, "message"));
    } else if (Attribute(tag, "status") == "notrun") {
      outcome.kind = TestOutcome::kSkipped;
      outcome.message = "disabled (DISABLED_ in its name)";
    } else if (Attribute(tag, "result") == "skipped") {
      outcome.kind = TestOutcome::kSkipped;
      outcome.message = "skipped without a reason";
    }
    outcomes.push_back(std::move(outcome));
  }
  return results;
}

std::string WithoutFolders(const std::string& message) {
  const size_t lineEnd = message.find('\n');
  const size_t slash = message.find_last_of("/\\", lineEnd);
  return slash == std::string::npos ? message : message.substr(slash + 1);
}

std::string WithoutLocation(const std::string& message) {
  const size_t lineEnd = message.find('\n');
  return lineEnd == std::string::npos ? message : message.substr(lineEnd + 1);
}

}  // namespace bundle
