// Errors and reporting: the message table, the report's forms (halt, raise,
// hook), the halting box and exit code, and the guarded memory routines.
#include <gtest/gtest.h>

#include <map>

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

namespace {

// Every code of the message table with its text; codes in no row are
// "Undefined error".
TEST(ErrorMessage, EveryCodeOfTheTable) {
  const std::map<uint16_t, std::string> table = {
      {1, "Invalid DOS function code"},
      {2, "File not found"},
      {3, "Path not found"},
      {4, "Too many open files"},
      {5, "File access denied"},
      {6, "Invalid file handle"},
      {8, "Not enough memory"},
      {9, "Memory block address invalid"},
      {10, "Environment invalid"},
      {11, "Format invalid"},
      {12, "Invalid file access code"},
      {13, "Data invalid"},
      {14, "Unknown unit"},
      {15, "Invalid drive number"},
      {16, "Cannot remove current directory"},
      {17, "Cannot rename across drives"},
      {18, "Too many open files"},
      {19, "Disk write-protected"},
      {20, "Unknown unit"},
      {21, "Drive not ready"},
      {22, "Unknown command"},
      {23, "CRC error in data"},
      {24, "Bad drive request structure length"},
      {25, "Disk seek error"},
      {26, "Unknown media type"},
      {27, "Disk sector not found"},
      {28, "Printer out of paper"},
      {29, "Device write fault"},
      {30, "Device read fault"},
      {31, "General failure"},
      {32, "File sharing violation"},
      {33, "File lock violation"},
      {34, "Disk change invalid"},
      {35, "File Control Block unavailable"},
      {36, "File sharing buffer overflow"},
      {50, "Unsupported network request"},
      {51, "Remote machine not listening"},
      {52, "Duplicate name on network"},
      {53, "Network name not found"},
      {54, "Network busy"},
      {55, "Device no longer exists on network"},
      {56, "Net-Bios command limit exceeded"},
      {57, "Error in network adapter hardware"},
      {58, "Incorrect response from network"},
      {59, "Unexpected network error"},
      {60, "Remote adapter incompatible"},
      {100, "Disk read error"},
      {101, "Disk write error (probable cause: Disk Full)."},
      {102, "File not assigned"},
      {103, "File not open"},
      {104, "File not open for input"},
      {105, "File not open for output"},
      {106, "Invalid numeric format"},
      {150, "Disk write-protected"},
      {151, "Unknown unit"},
      {152, "Drive not ready"},
      {153, "Unknown command"},
      {154, "CRC error in data"},
      {155, "Bad drive request structure length"},
      {156, "Disk seek error"},
      {157, "Unknown media type"},
      {158, "Disk sector not found"},
      {159, "Printer out of paper"},
      {160, "Device write fault"},
      {161, "Device read fault"},
      {162, "File sharing violation"},
      {200, "Division by zero error"},
      {201, "Range check error"},
      {202, "Stack overflow error"},
      {203, "Heap overflow error"},
      {204, "Invalid pointer operation"},
      {205, "Floating point overflow"},
      {206, "Floating point underflow"},
      {207, "Invalid floating point operation"},
      {208, "Overlay-manager not installed"},
      {209, "Overlay file read error"},
      {210, "Not a dBASE data file"},
      {211, "Invalid database field type encountered"},
      {212, "Request beyond range"},
      {213, "End of file found unexpectedly"},
      {214, "File already in use"},
      {215, "No database in use"},
      {216, "GP Fault"},
      {217, "Insufficient memory"},
      {218, "Invalid pointer specified"},
      {219, "Cannot duplicate file handle"},
      {220, "Invalid parameter"},
      {221, "Index file not open"},
      {222, "Corrupted index file"},
      {223, "Index version mismatch"},
      {224, "Cyclical relationship detected"},
      {225, "Exclusive Use() required"},
      {226, "BROWSE not active"},
      {227, "Insufficient disk space "},
      {228, "Unbalanced Push/Pop operation "},
      {229, "dBASE IV memo files not supported"},
      {230, "No dBASE memory variables loaded"},
      {231, "Screen library not open"},
      {239, "Missing colon in time"},
      {240, "Non-numeric character in time"},
      {241, "Invalid time specified"},
      {242, "Negative time specified"},
      {243, "TimeDiff result negative"},
      {254, "Kestrel internal error"},
      {266, "Invalid size"},
      {1003, "Invalid memo address"},
      {1004, "Disk full"},
      {1005, "Memo file write error"},
      {1007, "Memo file is already open"},
      {1012, "Insufficient disk space to pack memo file"},
      {1017, "Cannot lock memo file"},
      {1018, "Cannot unlock memo file"},
      {1019, "Invalid memo operation: database not open or no memo field in database"},
      {1100, "Not a valid operation on Linked List"},
      {1101, "Virtual File Manager Unit not Linked in"},
      {1102, "Virtual File Memory Management Error"},
      {1103, "Invalid Operation "},
      {1200, "Record not locked"},
      {1201, "File not locked"},
      {1202, "Semaphore file error. Possible solutions: log into network or load SHARE.EXE before running Windows"},
      {1300, "File format not supported"}};
  for (uint32_t code = 1; code <= 65535; ++code) {
    auto it = table.find(static_cast<uint16_t>(code));
    const std::string message =
        it != table.end() ? it->second : (code >= 1203 && code <= 1299 ? "Network Error" : "Undefined error");
    ASSERT_EQ(Engine::ErrorMessage(static_cast<uint16_t>(code)),
              "Error # " + std::to_string(code) + " (" + message + ")");
  }
}

}  // namespace
