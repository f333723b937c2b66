// On the sanitizer build, a report must fail the run that makes it: the run dies by a signal
// or exits other than 0, however it would have ended without the report.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "tests/reliability/process_runner.h"

namespace {

struct Fault {
  const char* name;
  const char* report;  // what the sanitizer writes on standard error
};

const Fault kFaults[] = {
    {"heap-overflow", "ERROR: AddressSanitizer: heap-buffer-overflow"},
    {"signed-overflow", "runtime error: signed integer overflow"},
    {"leak", "ERROR: LeakSanitizer: detected memory leaks"},
};

TEST(SanitizerBuild, EveryKindOfReportFailsTheRun) {
  const char* canary = CANARY_BIN;
  for (const Fault& fault : kFaults) {
    SCOPED_TRACE(fault.name);
    ProgramRun run = RunProgram({canary, fault.name}, 60);
    EXPECT_FALSE(run.exited && run.exitStatus == 0) << run.stdoutText;
    EXPECT_NE(run.stderrText.find(fault.report), std::string::npos) << run.stderrText;
    // With the options of the sanitizer suite a report aborts, so that it can never pass for
    // a program's own exit status 1.
    const char* options = getenv("ASAN_OPTIONS");
    if (options != nullptr && std::string(options).find("abort_on_error=1") != std::string::npos) {
      EXPECT_EQ(run.signalNumber, SIGABRT) << DescribeEnd(run);
    }
  }
  ProgramRun clean = RunProgram({canary, "none"}, 60);
  EXPECT_TRUE(clean.exited && clean.exitStatus == 0) << DescribeEnd(clean) << clean.stderrText;
}

}  // namespace
