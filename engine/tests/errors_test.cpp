// Errors and reporting: the message table, the report's forms (halt, raise,
// hook), the halting box and exit code, and the guarded memory routines.
#include <gtest/gtest.h>

#include "testkit.h"

using kestrel::Engine;

namespace {

TEST(ErrorMessage, FormsTheStandardText) {
  EXPECT_EQ(Engine::ErrorMessage(0), "");
  EXPECT_EQ(Engine::ErrorMessage(215), "Error # 215 (No database in use)");
  // Three messages keep a trailing blank inside the brackets.
  EXPECT_EQ(Engine::ErrorMessage(227), "Error # 227 (Insufficient disk space )");
  EXPECT_EQ(Engine::ErrorMessage(228), "Error # 228 (Unbalanced Push/Pop operation )");
  EXPECT_EQ(Engine::ErrorMessage(1103), "Error # 1103 (Invalid Operation )");
  EXPECT_EQ(Engine::ErrorMessage(1300), "Error # 1300 (File format not supported)");
  for (uint16_t code : {1203, 1250, 1299}) {
    EXPECT_EQ(Engine::ErrorMessage(code), "Error # " + std::to_string(code) + " (Network Error)");
  }
  for (uint16_t code : {7, 37, 99, 107, 163, 232, 255, 267, 1006, 1104, 1199, 1301, 65535}) {
    EXPECT_EQ(Engine::ErrorMessage(code), "Error # " + std::to_string(code) + " (Undefined error)");
  }
}

TEST(ReportError, RecordsOnlyOrCallsTheHookInsteadOfTheBox) {
  testkit::RecordingPlatform platform;
  Engine engine(platform);
  engine.AutoReport = false;
  engine.SetError(212, "t [SKIP]");
  EXPECT_EQ(engine.ErrorCode, 212);
  EXPECT_EQ(engine.ErrorText, "t [SKIP]");

  int calls = 0;
  engine.ErrorHook = [&] { ++calls; };
  engine.AutoReport = true;
  engine.SetError(213, "detail");
  engine.ErrorCode = 0;
  engine.ReportError();  // the hook hears of a report even without an error
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(engine.ErrorText, "detail");
  EXPECT_TRUE(platform.halts.empty());
  EXPECT_FALSE(engine.Halted);
}

TEST(ReportError, RaisesTheUncutReportWhenAsked) {
  testkit::RecordingPlatform platform;
  Engine engine(platform);
  engine.RaiseErrors = true;
  const std::string detail(300, 'x');
  try {
    engine.SetError(215, detail);
    ADD_FAILURE() << "no exception";
  } catch (const kestrel::EKestrelError& e) {
    EXPECT_EQ(std::string(e.what()), "Error # 215 (No database in use)\r\n" + detail);
  }
  EXPECT_EQ(engine.ErrorText, "");
  EXPECT_FALSE(engine.Halted || !platform.halts.empty());
}

TEST(ReportError, HaltsOnceWithTheCodeAndABoxCutTo255) {
  testkit::RecordingPlatform platform;
  Engine engine(platform);
  engine.ErrorCode = 0;
  engine.ReportError();  // nothing to report
  EXPECT_TRUE(platform.halts.empty());

  const std::string detail(300, 'd');
  EXPECT_EQ(testkit::RunUntilExit([&] { engine.SetError(1300, detail); }), 1300);
  ASSERT_EQ(platform.halts.size(), 1u);
  EXPECT_EQ(platform.halts[0].caption, "Program halted.");
  EXPECT_EQ(platform.halts[0].text, ("Error # 1300 (File format not supported)\r\n" + detail).substr(0, 255));
  EXPECT_TRUE(engine.Halted);
  EXPECT_EQ(engine.ErrorText, "");

  // Later errors are still recorded, never shown again.
  EXPECT_FALSE(testkit::RunUntilExit([&] { engine.SetError(212, "later"); }).has_value());
  EXPECT_EQ(engine.ErrorCode, 212);
  EXPECT_EQ(engine.ErrorText, "later");
  EXPECT_EQ(platform.halts.size(), 1u);
  EXPECT_EQ(platform.exits, std::vector<int>{1300});
}

TEST(FreeMem, NilPointerIsError9AndStaysNil) {
  Engine engine;
  engine.AutoReport = false;
  void* p = nullptr;
  engine.FreeMem(p, 10);
  EXPECT_EQ(engine.ErrorCode, 9);
  EXPECT_EQ(engine.ErrorText, "Attempt to free NIL pointer [FreeMem()]");
  EXPECT_EQ(p, nullptr);
}

}  // namespace
