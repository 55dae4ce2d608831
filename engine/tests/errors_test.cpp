// Errors and reporting: the message table, the report's forms (halt, raise,
// hook), the halting box and exit code, and the guarded memory routines.
#include <gtest/gtest.h>

#include "testkit.h"

using kestrel::Engine;

namespace {

TEST(ErrorMessage, FormsTheStandardText) {
  EXPECT_EQ(Engine::ErrorMessage(0), "");
  EXPECT_EQ(Engine::ErrorMessage(215), "Error # 215 (No database in use)");
  EXPECT_EQ(Engine::ErrorMessage(65535), "Error # 65535 (Undefined error)");
  EXPECT_EQ(Engine::ErrorMessage(227), "Error # 227 (Insufficient disk space )");
}

TEST(ReportError, HaltsWithTheCodeAfterShowingTheBox) {
  testkit::RecordingPlatform platform;
  Engine engine(platform);
  auto code = testkit::RunUntilExit([&] { engine.SetError(212, "detail"); });
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 212);
  ASSERT_EQ(platform.halts.size(), 1u);
  EXPECT_EQ(platform.halts[0].caption, "Program halted.");
  EXPECT_EQ(platform.halts[0].text, "Error # 212 (Request beyond range)\r\ndetail");
  EXPECT_TRUE(engine.Halted);
}

}  // namespace
