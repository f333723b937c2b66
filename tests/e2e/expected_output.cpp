#include "tests/e2e/expected_output.h"

#include <cstdlib>
#include <cstring>
#include <regex>

namespace {

struct Placeholder {
  const char* name;
  const char* regex;
};

const Placeholder kPlaceholders[] = {
    {"{TIME}", R"(\d\d:\d\d:\d\d\.\d{3})"},
    {"{RATE}", R"(([0-9]+\.[0-9]{3} *))"},
    {"{DATE}", R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)"},
    {"{N}", R"(\d+)"},
};

std::string EscapedLiteral(const std::string& text) {
  std::string escaped;
  for (char c : AsWritten(text)) {
    if (c != '\0' && strchr(R"(\^$.|?*+()[]{})", c) != nullptr) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string ToRegex(const std::string& pattern) {
  std::string regex;
  size_t literalStart = 0;
  size_t at = 0;
  while (at < pattern.size()) {
    const Placeholder* found = nullptr;
    for (const Placeholder& p : kPlaceholders) {
      if (pattern.compare(at, strlen(p.name), p.name) == 0) found = &p;
    }
    if (found == nullptr) {
      ++at;
      continue;
    }
    regex += EscapedLiteral(pattern.substr(literalStart, at - literalStart));
    regex += found->regex;
    at += strlen(found->name);
    literalStart = at;
  }
  regex += EscapedLiteral(pattern.substr(literalStart));
  return regex;
}

// "%-12.3f" pads to 12 characters and no further.
bool HasRateWidth(const std::string& field) {
  size_t digits = field.find(' ');
  if (digits == std::string::npos) return field.size() >= 12;
  return field.size() == 12 && digits < 12;
}

}  // namespace

bool TextModeCrlf() {
  const char* value = getenv("ZORBINEL_TEXT_MODE_CRLF");
  return value != nullptr && strcmp(value, "1") == 0;
}

std::string AsWritten(const std::string& text) {
  if (!TextModeCrlf()) return text;
  std::string widened;
  for (char c : text) {
    if (c == '\n') widened += '\r';
    widened += c;
  }
  return widened;
}

PatternMatch MatchPattern(const std::string& pattern, const std::string& actual) {
  PatternMatch result{false, {}, ""};
  std::smatch match;
  if (!std::regex_match(actual, match, std::regex(ToRegex(pattern)))) {
    result.why = "expected:\n" + Visible(pattern) + "\nactual:\n" + Visible(actual);
    return result;
  }
  for (size_t i = 1; i < match.size(); ++i) {
    std::string rate = match[i];
    if (!HasRateWidth(rate)) {
      result.why = "rate field not 12 wide: [" + rate + "]";
      return result;
    }
    result.rates.push_back(rate);
  }
  result.matched = true;
  return result;
}

std::string Visible(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n\n";
    } else {
      shown += c;
    }
  }
  return shown;
}
