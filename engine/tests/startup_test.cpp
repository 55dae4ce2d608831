// Engine start-up and shutdown: the date layout taken from the user's
// language, the settings and work areas a new engine starts with, and the
// closing of every table at the end, also when a halting report ends the run.
#include <gtest/gtest.h>

#include "table_fixture.h"

namespace {

TEST(Startup, DateFormatFollowsTheUserLanguageAndEveryAreaStartsEmpty) {
  // Language identifiers: sublanguage << 10 | primary language.
  const std::pair<uint16_t, int> cases[] = {{0x0409, 0}, {0x0809, 2}, {0x0407, 5}, {0x0807, 5},
                                            {0x0C0C, 7}, {0x040C, 4}, {0x0419, 8}, {0x0411, 0},
                                            {0x0C0A, 6}, {0x0410, 3}, {0x0000, 0}};
  for (auto [lang, format] : cases) {
    testkit::RecordingPlatform platform;
    platform.language = lang;
    kestrel::Engine engine(platform);
    EXPECT_EQ(engine.DateFormat, format) << std::hex << lang;
    EXPECT_TRUE(engine.CurrentArea() == 1 && engine.DefaultOpenMode == 66 && engine.EngineReady);
    for (int a = 1; a <= 35; ++a) EXPECT_EQ(engine.Area(static_cast<uint8_t>(a)), nullptr) << a;
  }
}

TEST(Shutdown, ClosesTheReservedAreasFirstAndLeavesAreaOneCurrent) {
  testkit::TableFixture f;
  const std::string a = f.Make("a", testkit::Layout({{"X", 'C', 1}}, {" 1"}));
  const std::string b = f.Make("b", testkit::Layout({{"X", 'C', 1}}, {" 1"}));
  f.engine.Select(2);
  f.engine.USE(a);
  f.engine.Select(3);
  f.engine.USE(b);
  std::swap(f.engine.AreaSlot(3), f.engine.AreaSlot(34));  // no operation opens area 34
  f.engine.Select(5);
  // Every close fails, so each one reports its file and the current area.
  std::vector<std::pair<int, std::string>> closes;
  f.platform.faults.close = 29;
  f.engine.AutoReport = true;
  f.engine.ErrorHook = [&] { closes.emplace_back(f.engine.CurrentArea(), f.engine.ErrorText); };
  f.engine.EngineShutdown();
  const std::string nameA = testkit::EngineName(a), nameB = testkit::EngineName(b);
  EXPECT_EQ(closes, (std::vector<std::pair<int, std::string>>{{34, "File:  " + nameB + " [CloseDbf(" + nameB + ")]"},
                                                              {2, "File:  " + nameA + " [CloseDbf(" + nameA + ")]"}}));
  EXPECT_EQ(f.engine.CurrentArea(), 1);
  EXPECT_TRUE(f.engine.Area(2) == nullptr && f.engine.Area(34) == nullptr);
  f.engine.EngineShutdown();  // nothing open: nothing closed, nothing reported
  EXPECT_EQ(closes.size(), 2u);
}

TEST(Shutdown, HaltingReportClosesEveryTableOnTheWayOut) {
  testkit::TableFixture f;
  const std::string path = f.Make("t", testkit::Layout({{"X", 'C', 1}}, {" 1"}));
  f.engine.USE(path);
  f.engine.Select(4);
  f.engine.USE(path + " ALIAS second");
  f.engine.AutoReport = true;
  EXPECT_EQ(testkit::RunUntilExit([&] { f.engine.Field(0); }), 220);
  ASSERT_EQ(f.platform.halts.size(), 1u);
  EXPECT_EQ(f.platform.halts[0].text, "Error # 220 (Invalid parameter)\r\nInvalid field number. [Field(0)]");
  EXPECT_TRUE(f.engine.Area(1) == nullptr && f.engine.Area(4) == nullptr && f.engine.CurrentArea() == 1);
  // Nobody holds the file any more: another engine gets it for itself.
  kestrel::Engine fresh;
  fresh.AutoReport = false;
  fresh.USE(path + " EXCLUSIVE");
  EXPECT_EQ(fresh.ErrorCode, 0) << fresh.ErrorText;
}

// A close that fails on the way out of a halted run is recorded, never shown:
// one box per run. A shutdown step that raises leaves the engine not ready,
// so that a second shutdown does nothing.
TEST(Shutdown, FailingClosesNeverShowASecondBoxAndARaiseEndsTheShutdown) {
  testkit::TableFixture f;
  const std::string path = f.Make("t", testkit::Layout({{"X", 'C', 1}}, {" 1"}));
  f.engine.USE(path);
  f.platform.faults.close = 29;
  f.engine.AutoReport = true;
  EXPECT_EQ(testkit::RunUntilExit([&] { f.engine.Field(9); }), 220);
  EXPECT_EQ(f.platform.halts.size(), 1u);
  EXPECT_EQ(f.platform.exits, std::vector<int>{220});
  EXPECT_EQ(f.engine.ErrorCode, 29);  // the failed close, recorded
  EXPECT_EQ(f.engine.Area(1), nullptr);

  testkit::TableFixture g;
  g.engine.USE(g.Make("t", testkit::Layout({{"X", 'C', 1}}, {" 1"})));
  g.engine.Select(2);
  g.engine.USE(g.Make("u", testkit::Layout({{"X", 'C', 1}}, {" 1"})));
  g.platform.faults.close = 29;
  g.engine.AutoReport = true;
  g.engine.RaiseErrors = true;
  g.engine.EngineShutdown();
  EXPECT_FALSE(g.engine.EngineReady);
  EXPECT_TRUE(g.platform.halts.empty());
  EXPECT_EQ(g.engine.Area(1), nullptr);  // closed before the raise
  EXPECT_NE(g.engine.Area(2), nullptr);  // the shutdown ended at the raise
  g.platform.faults.close.reset();
  g.engine.EngineShutdown();
  EXPECT_NE(g.engine.Area(2), nullptr);
  g.engine.Select(2);
  g.engine.RaiseErrors = false;
  g.engine.USE("");
}

}  // namespace
