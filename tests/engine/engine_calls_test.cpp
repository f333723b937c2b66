// BTRV, CallEngine and ResetEngine against a scripted entry point.
#include "engine/engine_calls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/run_settings.h"
#include "engine/engine_request.h"
#include "tests/engine/scripted_engine.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

class EngineCallsTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetScriptedEngine();
    DebugLevel = 0;
    EngineRequest = EngineRequestBlock{};
    snprintf(EngineRequest.fileName, sizeof EngineRequest.fileName, "%s", "data.btr");
    snprintf(key_, sizeof key_, "%s", "data.btr");
    EngineRequest.keyBuffer = key_;
    EngineRequest.dataBuffer = DataBuffer;
  }
  void TearDown() override { DebugLevel = 0; }

  char key_[kFileNameSize];
};

struct LengthCase {
  const char* name;
  bool passesLength;
  bool engineWrites;
  uint32_t lengthIn;
  uint32_t engineWritesLength;
  uint32_t lengthSeen;   // what the entry point is offered
  uint32_t lengthAfter;  // what the caller's length holds afterwards
};

TEST_F(EngineCallsTest, BtrvAdaptsTheLengthAndPassesTheArguments) {
  const LengthCase cases[] = {
      {"null length offers 0", false, true, 0, 4321, 0, 0},
      {"length widened without sign", true, false, 65000, 0, 65000, 65000},
      {"returned length stored back", true, true, 65000, 120, 65000, 120},
      {"only the low 16 bits come back", true, true, 10, 0x12345, 10, 0x2345},
  };
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetScriptedEngine();
    ScriptedEngine.writesLength = c.engineWrites;
    ScriptedEngine.lengthOut = c.engineWritesLength;
    ScriptedEngine.statuses = {0xABCD};
    unsigned char position[kPositionBlockSize];
    char data[8];
    char key[] = "k";
    auto length = static_cast<uint16_t>(c.lengthIn);
    uint16_t status = BTRV(33, position, data, c.passesLength ? &length : nullptr, key, -1);
    EXPECT_EQ(status, 0xABCD);
    ASSERT_EQ(ScriptedEngine.calls.size(), 1U);
    const ScriptedCall& call = ScriptedEngine.calls[0];
    EXPECT_EQ(call.operation, 33);
    EXPECT_EQ(call.positionBlock, position);
    EXPECT_EQ(call.dataBuffer, data);
    EXPECT_EQ(call.lengthIn, c.lengthSeen);
    EXPECT_EQ(call.keyBuffer, key);
    EXPECT_EQ(call.keyLength, 255);
    EXPECT_EQ(call.keyNumber, -1);
    EXPECT_EQ(length, c.passesLength ? c.lengthAfter : c.lengthIn);
  }
}

struct StatusCase {
  uint16_t engineStatus;
  int returned;
  const char* message;
};

TEST_F(EngineCallsTest, CallEngineClassifiesEveryStatus) {
  const StatusCase cases[] = {
      {0, 0, ""},
      {3, 3, ""},
      {4, 4, ""},
      {5, 5, ""},
      {9, 9, ""},
      {12, 12, ""},
      {22, 22, ""},
      {2, 2, "Data File Corruption (Status 2) Detected!\n"},
      {54, 54, "Data File Corruption (Status 2) Detected!\n"},
      {30, 30, "data.btr: Not a Btrieve File\n"},
      {1, 1, "Btrieve Error 1: Operation=34, File=data.btr\n"},
      {6, 6, "Btrieve Error 6: Operation=34, File=data.btr\n"},
      {55, 55, "Btrieve Error 55: Operation=34, File=data.btr\n"},
      {0x8001, -32767, "Btrieve Error -32767: Operation=34, File=data.btr\n"},
      {0xFFFF, -1, "Btrieve Error -1: Operation=34, File=data.btr\n"},
  };
  for (const StatusCase& c : cases) {
    SCOPED_TRACE(c.engineStatus);
    ScriptedEngine.statuses = {c.engineStatus};
    EngineRequest.operation = 34;
    CaptureStdout();
    CaptureStderr();
    int status = CallEngine(&EngineRequest);
    std::string err = GetCapturedStderr();
    std::string out = GetCapturedStdout();
    EXPECT_EQ(status, c.returned);
    EXPECT_EQ(err, c.message);
    EXPECT_EQ(out, "");  // no trace without /D
  }
}

TEST_F(EngineCallsTest, CallEngineHandsTheRequestToTheEngine) {
  ScriptedEngine.writesLength = true;
  ScriptedEngine.lengthOut = 77;
  EngineRequest.operation = 33;
  EngineRequest.dataLength = 65000;
  EngineRequest.keyNumber = 3;
  EXPECT_EQ(CallEngine(&EngineRequest), 0);
  ASSERT_EQ(ScriptedEngine.calls.size(), 1U);
  const ScriptedCall& call = ScriptedEngine.calls[0];
  EXPECT_EQ(call.operation, 33);
  EXPECT_EQ(call.positionBlock, EngineRequest.positionBlock);
  EXPECT_EQ(call.dataBuffer, DataBuffer);
  EXPECT_EQ(call.lengthIn, 65000U);
  EXPECT_EQ(call.key, "data.btr");
  EXPECT_EQ(call.keyNumber, 3);
  EXPECT_EQ(EngineRequest.dataLength, 77);
}

TEST_F(EngineCallsTest, TraceShowsTheCallBeforeItAndTheStatusAfter) {
  DebugLevel = 2;
  ScriptedEngine.writesLength = true;
  ScriptedEngine.lengthOut = 77;
  ScriptedEngine.statuses = {0, 0x8001};

  EngineRequest.operation = 0;
  CaptureStdout();
  CaptureStderr();
  EXPECT_EQ(CallEngine(&EngineRequest), 0);
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(GetCapturedStdout(), "Op: 0, Buflen: 0, KeyNum: 0 Status: 0\n");

  // The length traced is the one offered, not the one the engine wrote back.
  EngineRequest.operation = 33;
  EngineRequest.dataLength = 65000;
  EngineRequest.keyNumber = -2;
  CaptureStdout();
  CaptureStderr();
  EXPECT_EQ(CallEngine(&EngineRequest), -32767);
  EXPECT_EQ(GetCapturedStderr(), "Btrieve Error -32767: Operation=33, File=data.btr\n");
  EXPECT_EQ(GetCapturedStdout(), "Op: 33, Buflen: 65000, KeyNum: -2 Status: -32767\n");
}

TEST_F(EngineCallsTest, ResetReleasesThroughCallEngineKeepingTheRunsFields) {
  DebugLevel = 2;
  ScriptedEngine.statuses = {1};
  EngineRequest.operation = 33;
  EngineRequest.dataLength = 1234;
  EngineRequest.keyNumber = 5;
  EngineRequest.positionBlock[0] = 0x5A;

  CaptureStdout();
  CaptureStderr();
  EXPECT_EQ(ResetEngine(), 1);
  EXPECT_EQ(GetCapturedStderr(), "Btrieve Error 1: Operation=28, File=data.btr\n");
  EXPECT_EQ(GetCapturedStdout(), "Op: 28, Buflen: 1234, KeyNum: 0 Status: 1\n");

  ASSERT_EQ(ScriptedEngine.calls.size(), 1U);
  const ScriptedCall& call = ScriptedEngine.calls[0];
  EXPECT_EQ(call.operation, 28);
  EXPECT_EQ(call.keyBuffer, nullptr);
  EXPECT_EQ(call.keyNumber, 0);
  EXPECT_EQ(call.lengthIn, 1234U);
  EXPECT_EQ(call.dataBuffer, DataBuffer);
  EXPECT_EQ(EngineRequest.operation, 28);
  EXPECT_EQ(EngineRequest.keyBuffer, nullptr);
  EXPECT_EQ(EngineRequest.dataLength, 1234);
  EXPECT_EQ(EngineRequest.positionBlock[0], 0x5A);
  EXPECT_STREQ(EngineRequest.fileName, "data.btr");
}

}  // namespace
