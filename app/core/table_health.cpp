// The header against the file, the count's repair, and the notes on values
// the repair cannot make whole.
#include "table_health.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "kestrel/dbf_versions.h"

namespace dbfclean {

namespace {

uint64_t U16(const uint8_t* p) { return static_cast<uint64_t>(p[0] | (p[1] << 8)); }
uint64_t U32(const uint8_t* p) {
  return static_cast<uint64_t>(p[0]) | (static_cast<uint64_t>(p[1]) << 8) | (static_cast<uint64_t>(p[2]) << 16) |
         (static_cast<uint64_t>(p[3]) << 24);
}

// dBASE II's header has one length: 32 slots of 16 bytes after the prolog, and the terminator.
constexpr uint64_t kDbase2HeaderLength = 521;
constexpr uint8_t kEndMarker = 0x1A;

// The extent of the open `file`: false when it is no table the engine reads
// records from.
bool Measure(kestrel::File& file, TableExtent* extent) {
  uint8_t prolog[32];
  size_t got = 0;
  uint64_t size = 0;
  if (file.Seek(0) != 0 || file.Read(prolog, sizeof prolog, &got) != 0 || got < sizeof prolog) return false;
  if (!kestrel::FindDbfVersion(prolog[0]) || file.Size(&size) != 0) return false;
  TableExtent e;
  e.dbase2 = prolog[0] == 0x02;
  if (e.dbase2) {
    e.headerCount = U16(prolog + 1);
    e.recordLength = U16(prolog + 6);
    e.headerLength = kDbase2HeaderLength;
  } else {
    e.headerCount = U32(prolog + 4);
    e.headerLength = U16(prolog + 8);
    e.recordLength = U16(prolog + 10);
  }
  if (e.recordLength == 0 || size < e.headerLength) return false;
  if (!e.dbase2 && (e.headerLength < 33 || e.headerLength > 32767)) return false;  // refused as it is opened
  uint64_t data = size - e.headerLength;
  // A single end-of-file byte after the last whole record is no record.
  if (data > 0 && (data - 1) % e.recordLength == 0) {
    uint8_t last = 0;
    if (file.Seek(size - 1) != 0 || file.Read(&last, 1, &got) != 0 || got != 1) return false;
    if (last == kEndMarker) --data;
  }
  e.wholeRecords = data / e.recordLength;
  e.partialBytes = data % e.recordLength;
  *extent = e;
  return true;
}

std::string Plural(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// 1st, 2nd, 3rd, 4th, 11th, 21st ...
std::string Ordinal(uint64_t n) {
  const uint64_t tens = n % 100;
  const char* suffix = "th";
  if (tens < 11 || tens > 13) {
    if (n % 10 == 1) suffix = "st";
    if (n % 10 == 2) suffix = "nd";
    if (n % 10 == 3) suffix = "rd";
  }
  return std::to_string(n) + suffix;
}

// "record 16" or "records 16 to 20".
std::string Span(uint64_t from, uint64_t to) {
  return from == to ? "record " + std::to_string(from)
                    : "records " + std::to_string(from) + " to " + std::to_string(to);
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsBlank(uint8_t c) { return c == ' ' || c == 0; }

constexpr size_t kRecordsNamed = 3;

}  // namespace

uint64_t TableExtent::FixedCount() const {
  const uint64_t most = dbase2 ? UINT16_MAX : static_cast<uint64_t>(INT32_MAX);
  return std::min(wholeRecords, most);
}

bool MeasureTable(kestrel::Platform& platform, const std::string& path, TableExtent* extent) {
  std::unique_ptr<kestrel::File> file;
  if (platform.OpenFile(path, kestrel::openmode::Inspect, &file) != 0 || !file) return false;
  const bool measured = Measure(*file, extent);
  file->Close();
  return measured;
}

std::string ExtentText(const std::string& table, const TableExtent& e, CountFix fix) {
  std::string text = table + ": the header " + (fix == CountFix::Done ? "counted " : "counts ") +
                     Plural(e.headerCount, "record", "records") + ", the file holds " +
                     Plural(e.wholeRecords, "whole record", "whole records");
  if (e.partialBytes > 0) {
    text += " and " + Plural(e.partialBytes, "byte", "bytes") + " of the " + Ordinal(e.wholeRecords + 1);
  }
  const uint64_t fixed = e.FixedCount();
  switch (fix) {
    case CountFix::None:
      if (e.headerCount < e.wholeRecords) {
        const bool one = e.wholeRecords == e.headerCount + 1;
        text += "; " + Span(e.headerCount + 1, e.wholeRecords) + (one ? " is" : " are") + " not cleaned";
      } else {
        const bool one = e.headerCount == e.wholeRecords + 1;
        text += "; " + Span(e.wholeRecords + 1, e.headerCount) + (one ? " is" : " are") + " missing";
      }
      return text + " (--fix-count)";
    case CountFix::Would: return text + "; --fix-count would make the header count " + std::to_string(fixed);
    case CountFix::Done: return text + "; the header now counts " + std::to_string(fixed);
  }
  return text;
}

CountPlan PlanCount(const TableExtent& extent, bool fixCount, bool dryRun) {
  CountPlan plan;
  if (!extent.Disagrees()) return plan;
  if (fixCount && !dryRun) {
    plan.fix = CountFix::Done;
    plan.write = true;  // and the walk reads the new count from the disk
    return plan;
  }
  if (fixCount) {
    plan.fix = CountFix::Would;
    plan.records = static_cast<int64_t>(extent.FixedCount());
    plan.scrub = plan.records > 0;
    return plan;
  }
  if (dryRun && extent.headerCount > extent.wholeRecords) {
    // Opening a table stands on its first record: with none whole, the open
    // itself meets the end, as the repair's does.
    plan.records = static_cast<int64_t>(extent.wholeRecords);
    plan.scrub = plan.records > 0;
    plan.pastEnd = plan.records + 1;
  }
  return plan;
}

uint16_t FixRecordCount(kestrel::Platform& platform, const std::string& path, const TableExtent& extent) {
  std::unique_ptr<kestrel::File> file;
  uint16_t rc = platform.OpenFile(path, kestrel::openmode::Exclusive, &file);
  if (rc != 0) return rc;
  const uint64_t count = extent.FixedCount();
  uint8_t bytes[4];
  for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<uint8_t>(count >> (8 * i));
  const size_t size = extent.dbase2 ? 2 : 4;
  size_t written = 0;
  rc = file->Seek(extent.dbase2 ? 1 : 4);
  if (rc == 0) rc = file->Write(bytes, size, &written);
  if (rc == 0 && written != size) rc = kestrel::oserr::DiskWriteError;
  // On the disk before the scrub begins: a power cut after it leaves the
  // old count or the new one, and the same command finishes either way.
  if (rc == 0) rc = file->Flush();
  const uint16_t closed = file->Close();
  return rc != 0 ? rc : closed;
}

bool LostValue(char type, const uint8_t* bytes, size_t size) {
  // Only dates and numbers have values a blank can break: the other types
  // (most damaged fields) are done without a look at their bytes.
  if (type != 'D' && type != 'N' && type != 'F') return false;
  size_t from = 0, to = size;
  while (from < to && IsBlank(bytes[from])) ++from;
  while (to > from && IsBlank(bytes[to - 1])) --to;
  if (from == to) return false;  // empty: no value, and none lost
  if (type == 'D') {
    // A date is eight digits or nothing: any blank beside a digit is a digit lost.
    for (size_t i = 0; i < size; ++i) {
      if (IsBlank(bytes[i])) return std::any_of(bytes, bytes + size, IsDigit);
    }
    return false;
  }
  if (type == 'N' || type == 'F') {
    // Numbers stand right-aligned with blanks before them: a blank inside
    // the value splits it.
    for (size_t i = from; i < to; ++i) {
      if (IsBlank(bytes[i])) return true;
    }
  }
  return false;
}

std::string LostValueWord(char type) { return type == 'D' ? "not a date" : "not a number"; }

void TableNotes::Records::Add(int32_t record) {
  if (first.size() < kRecordsNamed) first.push_back(record);
  ++count;
}

std::string TableNotes::Records::Text() const {
  std::string text = count == 1 ? "record " : "records ";
  for (size_t i = 0; i < first.size(); ++i) {
    if (i > 0) text += (i + 1 == first.size() && static_cast<int64_t>(first.size()) == count) ? " and " : ", ";
    text += std::to_string(first[i]);
  }
  if (count > static_cast<int64_t>(first.size())) {
    text += " and " + std::to_string(count - static_cast<int64_t>(first.size())) + " more";
  }
  return text;
}

void TableNotes::LostField(int field, const std::string& name, char type, int32_t record) {
  auto it = std::find_if(fields_.begin(), fields_.end(), [field](const Field& f) { return f.field == field; });
  if (it == fields_.end()) {
    it = std::find_if(fields_.begin(), fields_.end(), [field](const Field& f) { return f.field > field; });
    it = fields_.insert(it, Field{field, name, type, {}});
  }
  it->records.Add(record);
}

void TableNotes::OddFlag(int32_t record) { flags_.Add(record); }

void TableNotes::SpellFields(const std::vector<std::string>& names) {
  for (Field& f : fields_) {
    if (f.field > 0 && static_cast<size_t>(f.field) < names.size()) f.name = names[static_cast<size_t>(f.field)];
  }
}

std::string TableNotes::Text(const std::string& table, std::string (*shown)(const std::string&)) const {
  if (Empty()) return std::string();
  std::string text;
  for (const Field& f : fields_) {
    text += (text.empty() ? "" : "; ") + (shown ? shown(f.name) : f.name) +
            (f.type == 'D' ? " (date) in " : " (number) in ") + f.records.Text();
  }
  if (flags_.count > 0) {
    text += (text.empty() ? "" : "; ") + std::string("the deletion flag (neither blank nor '*') in ") + flags_.Text();
  }
  return table + ": not whole after the repair: " + text;
}

}  // namespace dbfclean
