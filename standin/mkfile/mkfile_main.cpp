// zorbinel-mkfile: writes a data file for the stand-in engine.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "standin/mkfile/file_writer.h"
#include "standin/mkfile/mkfile_platform.h"

namespace {

constexpr const char* kToolName = "zorbinel-mkfile";
constexpr const char* kUsageLine =
    "Usage: zorbinel-mkfile FILE [--records N] [--record-length L] [--key-length K] [--seed S] "
    "[--force]\n";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// Smaller files are written before a progress bar would be seen.
constexpr uint64_t kProgressMinRecords = 100000;
constexpr int kProgressWidth = 40;
constexpr uint64_t kPagesPerStep = 256;
constexpr size_t kWriteBufferSize = size_t{1} << 20;

struct ToolOptions {
  std::string file;
  uint64_t records = 1000;
  uint32_t recordLength = 100;
  uint32_t keyLength = 8;
  uint64_t seed = 1;
  bool force = false;
};

struct Progress {
  bool shown;
  int percentShown;
};

void DrawProgress(Progress* progress, uint64_t done, uint64_t total) {
  if (!progress->shown) return;
  int percent = static_cast<int>(total == 0 ? 100 : done * 100 / total);
  if (percent == progress->percentShown) return;
  progress->percentShown = percent;
  int filled = percent * kProgressWidth / 100;
  fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
          kProgressWidth - filled, "", percent);
  if (percent == 100) fputc('\n', stderr);
  fflush(stderr);
}

const char* ShapeProblem(ShapeCheck check) {
  switch (check) {
    case ShapeCheck::kBadRecordLength:
      return "--record-length must be from 1 to 65000";
    case ShapeCheck::kBadKeyLength:
      return "--key-length must be from 1 to 255";
    case ShapeCheck::kKeyOutsideRecord:
      return "--key-length must not exceed --record-length";
    case ShapeCheck::kTooManyRecords:
      return "--records exceeds the distinct keys of that length (or 2^40)";
    default:
      return nullptr;
  }
}

int UsageError(const char* problem) {
  fprintf(stderr, "%s: %s\n%s", kToolName, problem, kUsageLine);
  return kExitUsage;
}

std::string TemporaryNameFor(const std::string& target) {
  std::filesystem::path path(target);
  std::string name = "." + path.filename().string() + ".tmp-" + std::to_string(CurrentProcessId());
  return (path.parent_path() / name).string();
}

int Fail(const char* what, const std::string& path, int error) {
  fprintf(stderr, "%s: %s %s: %s\n", kToolName, what, path.c_str(), strerror(error));
  return kExitFailure;
}

// Writes every page into the open temporary file and closes it. 0, or the exit status after
// a message.
int WriteAll(const DataSetShape& shape, FILE* file, const std::string& temporary) {
  DataFileWriter writer{};
  if (!StartDataFileWriter(&writer, shape)) {
    fclose(file);
    return Fail("cannot allocate a page for", temporary, ENOMEM);
  }
  Progress progress{StderrIsTerminal() && shape.records >= kProgressMinRecords, -1};
  bool written = true;
  int error = 0;
  while (written && !DataFileWriterDone(writer)) {
    written = WriteNextPages(&writer, file, kPagesPerStep);
    if (!written) error = errno;
    DrawProgress(&progress, writer.nextPage, writer.layout.pageCount);
  }
  FinishDataFileWriter(&writer);
  if (written && !FlushToDisk(file)) {
    written = false;
    error = errno;
  }
  if (fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  return written ? 0 : Fail("cannot write", temporary, error);
}

int MakeFile(const ToolOptions& options, const DataSetShape& shape) {
  std::error_code ignored;
  auto targetStatus = std::filesystem::symlink_status(options.file, ignored);
  if (std::filesystem::is_directory(targetStatus)) {
    fprintf(stderr, "%s: %s is a directory\n", kToolName, options.file.c_str());
    return kExitFailure;
  }
  if (std::filesystem::exists(targetStatus) && !options.force) {
    fprintf(stderr, "%s: %s already exists (use --force to replace it)\n", kToolName,
            options.file.c_str());
    return kExitFailure;
  }
  std::string temporary = TemporaryNameFor(options.file);
  std::string interrupted =
      std::string(kToolName) + ": interrupted; " + options.file + " was not written\n";
  RemoveOnInterrupt(temporary.c_str(), interrupted.c_str());
  FILE* file = fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    int error = errno;
    StopRemovingOnInterrupt();
    return Fail("cannot create", temporary, error);
  }
  setvbuf(file, nullptr, _IOFBF, kWriteBufferSize);
  int status = WriteAll(shape, file, temporary);
  if (status == 0) {
    PublishStatus published = PublishFile(temporary.c_str(), options.file.c_str(), options.force);
    if (published == PublishStatus::kTargetExists) {
      fprintf(stderr, "%s: %s already exists (use --force to replace it)\n", kToolName,
              options.file.c_str());
      status = kExitFailure;
    } else if (published == PublishStatus::kFailed) {
      status = Fail("cannot rename the finished file to", options.file, errno);
    }
  }
  if (status != 0) remove(temporary.c_str());
  StopRemovingOnInterrupt();
  return status;
}

// The number parser would otherwise wrap a negative value around to a huge unsigned one.
std::string RejectNegative(std::string& text) {
  return !text.empty() && text[0] == '-' ? "must not be negative: " + text : std::string();
}

void DescribeOptions(CLI::App* app, ToolOptions* options) {
  CLI::Validator notNegative(RejectNegative, "", "NOT_NEGATIVE");
  app->add_option("FILE", options->file, "The data file to write")->required();
  app->add_option("--records", options->records, "Number of records (0 makes an empty file)")
      ->capture_default_str()
      ->check(notNegative);
  app->add_option("--record-length", options->recordLength, "Bytes in each record, from 1 to 65000")
      ->capture_default_str()
      ->check(notNegative);
  app->add_option("--key-length", options->keyLength,
                  "Bytes of key 0 at the start of each record, from 1 to 255")
      ->capture_default_str()
      ->check(notNegative);
  app->add_option("--seed", options->seed, "Seed of the keys, their order and the record bytes")
      ->capture_default_str()
      ->check(notNegative);
  app->add_flag("--force", options->force, "Replace FILE when it exists");
  app->footer(
      "Exit status: 0 when FILE is written, 1 when it cannot be (a message tells why),\n"
      "2 for bad arguments. A progress bar shows on standard error, when that is a\n"
      "terminal, for files of 100000 records or more.");
}

const char* Plural(uint64_t count) {
  return count == 1 ? "" : "s";
}

}  // namespace

int RunTool(int argc, char** argv) {
  CLI::App app(
      "Writes a data file for the stand-in engine: fixed-length records with distinct keys "
      "(key 0, at the start of each record) stored in a shuffled order, and an index on them. "
      "The file is written under a temporary name in FILE's folder and renamed when it is "
      "complete, so FILE is never left half-written.",
      kToolName);
  ToolOptions options;
  DescribeOptions(&app, &options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& help) {
    return app.exit(help);
  } catch (const CLI::ParseError& error) {
    return UsageError(error.what());
  }
  DataSetShape shape{options.records, options.recordLength, 0, options.keyLength, options.seed};
  const char* problem = ShapeProblem(CheckShape(shape));
  if (problem != nullptr) return UsageError(problem);
  int status = MakeFile(options, shape);
  if (status == 0) {
    FileLayout layout = PlanLayout(shape);
    printf("%s: %llu record%s of %u bytes, %u-byte key, %llu page%s of %u bytes\n",
           options.file.c_str(), static_cast<unsigned long long>(shape.records),
           Plural(shape.records), shape.recordLength, shape.keyLength,
           static_cast<unsigned long long>(layout.pageCount), Plural(layout.pageCount),
           layout.pageSize);
  }
  return status;
}

int main(int argc, char** argv) {
  try {
    return RunTool(argc, argv);
  } catch (const std::exception& error) {  // memory or the file system failing under us
    fprintf(stderr, "%s: %s\n", kToolName, error.what());
    return kExitFailure;
  }
}
