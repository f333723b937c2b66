// Zorbinel: runs one test type against one data file for a number of seconds and reports the
// iterations per second.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "driver/command_line.h"
#include "driver/platform.h"
#include "driver/run_settings.h"
#include "driver/test_loop.h"
#include "engine/engine_binding.h"
#include "engine/engine_calls.h"

namespace {

constexpr size_t kMaxDataFileNameLength = kSettingNameSize - 1;
constexpr int kMaxLogFileNameLength = kSettingNameSize - 2;
constexpr int kDefaultTestType = 1;
constexpr int kDefaultRunTime = 10;

void PrintUsage() {
  fprintf(stderr, "\nUsage:  ZORBINEL Filename [/R#] [/T#] [/Llogfile]\n\n");
  fprintf(stderr, "    This command stress tests a database engine or file server.\n");
  fprintf(stderr, "    Use the /R# option to specify the run time in seconds (default=10).\n");
  fprintf(stderr, "    Use the /T# option to specify the test type from this list.\n");
  fprintf(stderr, "       1: MKDE File Open/Close (Default).\n");
  fprintf(stderr, "       2: MKDE File StepFirst.\n");
  fprintf(stderr, "       3: MKDE File StepLast.\n");
  fprintf(stderr, "       4: MKDE File GetFirst.\n");
  fprintf(stderr, "      11: OS File Open/Close.\n");
  fprintf(stderr, "      12: OS File Open/Read512B/Read16KB/Close.\n");
  fprintf(stderr, "    Use the /L option to specify the log file to write results.\n");
  fprintf(stderr, "    Use the /H option to calculate and display a histogram.\n");
}

// An empty name, or a question mark as its first or second character, asks for the usage.
bool AsksForUsage(const char* dataFileName) {
  return dataFileName[0] == '\0' || dataFileName[0] == '?' || dataFileName[1] == '?';
}

// Options are taken from the last to the first, so the leftmost of a repeated option wins.
// Only the second character names an option; the first, the switch character, is free.
void ReadOptions(int argc, char** argv, int* testType, int* runTime) {
  for (int i = argc - 1; i >= 2; --i) {
    const char* option = argv[i];
    if (option[0] == '\0' || option[1] == '\0') continue;  // no second character
    const char* value = option + 2;
    switch (toupper(static_cast<unsigned char>(option[1]))) {
      case 'R': {
        int32_t seconds = ReadNumber(value);
        *runTime = seconds >= 1 ? seconds : 1;
        printf("Running for %d second%s...\n", *runTime, *runTime == 1 ? "" : "s");
        break;
      }
      case 'T':
        *testType = ReadNumber(value);
        break;
      case 'L':
        LogEnabled = 1;
        snprintf(LogFileName, kMaxLogFileNameLength + 1, "%s", value);
        break;
      case 'H':
        HistogramEnabled = 1;
        break;
      case 'D':
        DebugLevel = 2;
        break;
      default:
        break;
    }
  }
}

float RateOf(int64_t count, int64_t startMs, int64_t endMs) {
  float seconds = static_cast<float>(endMs - startMs) / 1000.0F;
  return static_cast<float>(count) / seconds;
}

// A log that does not open is passed over in silence.
void AppendLogLine(float rate) {
  FILE* log = OpenLogForAppend(LogFileName);
  if (log == nullptr) return;
  struct tm local;
  if (!ToLocalTime(time(nullptr), &local)) memset(&local, 0, sizeof local);
  char when[50];
  strftime(when, sizeof when, "%Y/%m/%d %H:%M:%S", &local);
  fprintf(log, "%s, %-12.3f\n", when, rate);
  fclose(log);
}

}  // namespace

int main(int argc, char** argv) {
  fprintf(stderr, "Zorbinel Version 3.21: 05/17\n");
  if (argc < 2 || argc > 5 || AsksForUsage(argv[1])) {
    PrintUsage();
    return 1;
  }
  if (strlen(argv[1]) > kMaxDataFileNameLength) {
    fprintf(stderr, "The data file name is longer than %d characters.\n",
            static_cast<int>(kMaxDataFileNameLength));
    return 1;
  }
  if (BindEngine() != 0) return 1;

  snprintf(DataFileName, sizeof DataFileName, "%s", argv[1]);
  printf("Accessing Data File %s...\n", DataFileName);
  int testType = kDefaultTestType;
  int runTime = kDefaultRunTime;
  ReadOptions(argc, argv, &testType, &runTime);
  printf("Running Test Type %d (%s)...\n", testType, TestNameOf(testType));

  int64_t start = 0;
  int64_t end = 0;
  int64_t count = 0;
  int result = RunTest(testType, DataFileName, runTime, &start, &end, &count);
  // A stopped run has no interval to rate; its log line says 0.000.
  float rate = 0.0F;
  if (result == 0) {
    rate = RateOf(count, start, end);
    printf("Iterations/s: %-12.3f\n", rate);
  }
  if (LogEnabled && LogFileName[0] != '\0') AppendLogLine(rate);
  ResetEngine();
  fflush(stdout);
  return result;
}
