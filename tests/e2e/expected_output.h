// Expected console text, with placeholders for what changes from run to run:
//   {TIME}  a progress time stamp, hh:mm:ss.mmm
//   {RATE}  a rate printed left-aligned in 12 characters with three decimals
//   {DATE}  a log time stamp, yyyy/mm/dd hh:mm:ss
//   {N}     a whole number
// Everything else is literal. On a target whose text-mode streams write "\r\n" for "\n",
// every "\n" of the expected text is widened the same way ("\r\n" becomes "\r\r\n").
#pragma once

#include <string>
#include <vector>

// Whether the programs under test write text-mode line ends (ZORBINEL_TEXT_MODE_CRLF=1).
bool TextModeCrlf();

// The expected text with its line ends as the programs under test write them.
std::string AsWritten(const std::string& text);

struct PatternMatch {
  bool matched;
  std::vector<std::string> rates;  // each {RATE} field, blanks included
  std::string why;                 // when not matched
};

PatternMatch MatchPattern(const std::string& pattern, const std::string& actual);

// Visible control characters, for failure messages.
std::string Visible(const std::string& text);
