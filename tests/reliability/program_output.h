// What zorbinel prints, as the reliability tests expect it: the fixed texts, the engine's
// status messages, and patterns for the lines that carry a time or a rate.
#pragma once

#include <string>

#include "tests/e2e/program_texts.h"

// The line that CallEngine writes for a status, or "" for the statuses it keeps quiet.
std::string EngineStatusMessage(int status, int operation, const std::string& fileName);

// `text` with every character that a regular expression treats specially escaped.
std::string EscapeRegex(const std::string& text);

// Patterns of the time-stamped lines and of the rate line, each with its line end.
extern const char* const kStartingLine;
extern const char* const kEndingLine;
extern const char* const kRateLine;
extern const char* const kLogLine;  // one line of the results log

// True when `text` matches `pattern` as a whole.
bool MatchesWhole(const std::string& text, const std::string& pattern);

// When `text` is `unit` repeated, returns how many times; else -1.
long CountRepeats(const std::string& text, const std::string& unit);

// The name that zorbinel announces for test types 1 to 6, 11 and 12.
std::string TestName(int testType);
