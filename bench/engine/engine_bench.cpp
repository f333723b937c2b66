// Each operation of the stand-in engine on files of 1,000 and 1,000,000 records: the rates
// should match within noise, since no operation's cost depends on the file's size. With
// --one-gib, also the peak memory of the process around an open file of 1 GiB.
//
//   standin_engine_bench [--one-gib] [Google Benchmark flags]
//
// Data files are made once in $ZORBINEL_BENCH_DATA (default: <temp>/zorbinel-engine-bench)
// and reused while their size is right.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "standin/mkfile/file_writer.h"
#include "standin/standin_engine.h"

namespace {

constexpr uint16_t kOpen = 0, kClose = 1, kGetFirst = 12, kReset = 28, kStepFirst = 33,
                   kStepLast = 34;
constexpr uint32_t kOffered = 65000;  // what the benchmark program offers on a read
constexpr uint32_t kRecordLength = 100;
constexpr uint64_t kOneGiBRecords = 9000000;  // 1.03 GiB with the index and the pages' own bytes

std::string DataDir() {
  const char* chosen = getenv("ZORBINEL_BENCH_DATA");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  return (std::filesystem::temp_directory_path() / "zorbinel-engine-bench").string();
}

// The file of `records` records, made when it is missing or of the wrong size.
std::string DataFile(uint64_t records) {
  std::string dir = DataDir();
  std::filesystem::create_directories(dir);
  std::string path = dir + "/records-" + std::to_string(records) + ".dat";
  DataSetShape shape{records, kRecordLength, 0, 8, 1};
  FileLayout layout = PlanLayout(shape);
  std::error_code error;
  if (std::filesystem::file_size(path, error) != layout.pageCount * layout.pageSize) {
    fprintf(stderr, "making %s\n", path.c_str());
    if (!WriteDataFile(path.c_str(), shape)) {
      fprintf(stderr, "cannot write %s\n", path.c_str());
      exit(1);
    }
  }
  return path;
}

struct OpenedFile {
  unsigned char positionBlock[128];
  char key[256];
  std::vector<unsigned char> data;
};

bool OpenFile(OpenedFile* file, const std::string& path) {
  memset(file->positionBlock, 0, sizeof file->positionBlock);
  snprintf(file->key, sizeof file->key, "%s", path.c_str());
  file->data.assign(260000, 0);
  uint32_t length = 0;
  return StandInEngineCall(kOpen, file->positionBlock, file->data.data(), &length, file->key, 255,
                           0) == 0;
}

void ResetEngine() {
  StandInEngineCall(kReset, nullptr, nullptr, nullptr, nullptr, 0, 0);
}

void RunRead(benchmark::State& state, uint16_t operation) {
  OpenedFile file;
  if (!OpenFile(&file, DataFile(static_cast<uint64_t>(state.range(0))))) {
    state.SkipWithError("open failed");
    return;
  }
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    uint32_t length = kOffered;
    uint16_t status = StandInEngineCall(operation, file.positionBlock, file.data.data(), &length,
                                        file.key, 255, 0);
    benchmark::DoNotOptimize(status);
    if (status != 0) {
      state.SkipWithError("read failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  ResetEngine();
}

void StepFirst(benchmark::State& state) {
  RunRead(state, kStepFirst);
}
void StepLast(benchmark::State& state) {
  RunRead(state, kStepLast);
}
void GetFirst(benchmark::State& state) {
  RunRead(state, kGetFirst);
}

void OpenClose(benchmark::State& state) {
  std::string path = DataFile(static_cast<uint64_t>(state.range(0)));
  OpenedFile file;
  snprintf(file.key, sizeof file.key, "%s", path.c_str());
  uint32_t length = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    uint16_t opened =
        StandInEngineCall(kOpen, file.positionBlock, nullptr, &length, file.key, 255, 0);
    uint16_t closed =
        StandInEngineCall(kClose, file.positionBlock, nullptr, &length, file.key, 255, 0);
    if (opened != 0 || closed != 0) {
      state.SkipWithError("open or close failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  ResetEngine();
}

BENCHMARK(StepFirst)->Arg(1000)->Arg(1000000);
BENCHMARK(StepLast)->Arg(1000)->Arg(1000000);
BENCHMARK(GetFirst)->Arg(1000)->Arg(1000000);
BENCHMARK(OpenClose)->Arg(1000)->Arg(1000000);

// The high-water mark of the process's resident memory, in KiB (Linux), or 0.
long PeakResidentKiB() {
  FILE* status = fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  long kib = 0;
  while (fgets(line, sizeof line, status) != nullptr) {
    if (strncmp(line, "VmHWM:", 6) == 0) kib = strtol(line + 6, nullptr, 10);
  }
  fclose(status);
  return kib;
}

// Every operation many times over on a 1 GiB file; the counters show the process's peak
// memory before the file was opened and after, and the difference.
void OneGiBFile(benchmark::State& state) {
  std::string path = DataFile(kOneGiBRecords);
  long before = PeakResidentKiB();
  OpenedFile file;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    if (!OpenFile(&file, path)) {
      state.SkipWithError("open failed");
      break;
    }
    for (int i = 0; i < 1000; ++i) {
      for (uint16_t operation : {kStepFirst, kStepLast, kGetFirst}) {
        uint32_t length = kOffered;
        benchmark::DoNotOptimize(StandInEngineCall(operation, file.positionBlock, file.data.data(),
                                                   &length, file.key, 255, 0));
      }
    }
    uint32_t length = 0;
    StandInEngineCall(kClose, file.positionBlock, nullptr, &length, nullptr, 0, 0);
  }
  long after = PeakResidentKiB();
  state.counters["file_MiB"] =
      static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
  state.counters["peak_before_KiB"] = static_cast<double>(before);
  state.counters["peak_after_KiB"] = static_cast<double>(after);
  state.counters["engine_growth_KiB"] = static_cast<double>(after - before);
  ResetEngine();
}

BENCHMARK(OneGiBFile)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  // The 1 GiB file takes a while to make: it runs only when asked for. A filter given on the
  // command line comes later and wins.
  std::vector<char*> args;
  static char skipOneGiB[] = "--benchmark_filter=-OneGiBFile";
  bool oneGiB = false;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--one-gib") == 0) {
      oneGiB = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  if (!oneGiB) args.insert(args.begin() + 1, skipOneGiB);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
