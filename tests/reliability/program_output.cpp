#include "tests/reliability/program_output.h"

#include <regex>

const char* const kStartingLine = R"(\d\d:\d\d:\d\d\.\d{3}: Starting\.\.\.\n)";
const char* const kEndingLine = R"(\d\d:\d\d:\d\d\.\d{3}: Ending\.\.\.\n)";
const char* const kRateLine = R"(Iterations/s: \d+\.\d{3} *\n)";
// Date and time, then the rate left-aligned in at least 12 characters.
const char* const kLogLine = R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d, (?=[0-9. ]{12})\d+\.\d{3} *\n)";

std::string EngineStatusMessage(int status, int operation, const std::string& fileName) {
  switch (status) {
    case 0:
    case 3:
    case 4:
    case 5:
    case 9:
    case 12:
    case 22:
      return "";
    case 2:
    case 54:
      return "Data File Corruption (Status 2) Detected!\n";
    case 30:
      return fileName + ": Not a Btrieve File\n";
    default:
      return "Btrieve Error " + std::to_string(status) +
             ": Operation=" + std::to_string(operation) + ", File=" + fileName + "\n";
  }
}

std::string EscapeRegex(const std::string& text) {
  static const std::string special = R"(\^$.|?*+()[]{})";
  std::string escaped;
  for (char c : text) {
    if (special.find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

bool MatchesWhole(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(pattern));
}

long CountRepeats(const std::string& text, const std::string& unit) {
  if (unit.empty()) return text.empty() ? 0 : -1;
  if (text.size() % unit.size() != 0) return -1;
  for (size_t at = 0; at < text.size(); at += unit.size()) {
    if (text.compare(at, unit.size(), unit) != 0) return -1;
  }
  return static_cast<long>(text.size() / unit.size());
}

std::string TestName(int testType) {
  switch (testType) {
    case 1:
      return "MKDE File Open/Close";
    case 2:
      return "MKDE File StepFirst";
    case 3:
      return "MKDE File StepLast";
    case 4:
      return "MKDE File GetFirst";
    case 5:
      return "MKDE StepFirst without Kalvenor Wrapper";
    case 6:
      return "MKDE StepFirst without BTRV Wrapper";
    case 11:
      return "OS File Open/Close";
    case 12:
      return "OS File Open/Read512B/Read16KB/Close";
    default:
      return "Undefined";
  }
}
