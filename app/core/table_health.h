// What a crash leaves in a table besides NUL bytes, as the command-line
// program reports it: a header whose record count is out of step with the
// records the file holds (an append cut short, a header write lost), and
// values the repair cannot make whole (a date or a number that lost a digit
// to a NUL, a deletion flag that is neither blank nor '*'). The repair itself
// never changes a header; `FixRecordCount` does, when asked to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kestrel/platform.h"

namespace dbfclean {

// A table's header against its file.
struct TableExtent {
  bool dbase2 = false;        // the record count is bytes 1 to 2, not 4 to 7
  uint64_t headerLength = 0;  // where the first record begins
  uint64_t recordLength = 0;
  uint64_t headerCount = 0;   // the records the header counts
  uint64_t wholeRecords = 0;  // the whole records the file holds after the header
  uint64_t partialBytes = 0;  // the bytes of a record after them (a final end marker is none)

  bool Disagrees() const { return headerCount != wholeRecords; }
  // The count that makes the header agree with the file, as far as the
  // header's field holds it and the engine reads it.
  uint64_t FixedCount() const;
};

// Reads the header's count and the file's size through `platform`, without
// keeping the file open or keeping anyone out. False when the file cannot be
// read or is no table the engine would read records from (the engine then
// reports it as it opens it).
bool MeasureTable(kestrel::Platform& platform, const std::string& path, TableExtent* extent);

// What the line about a disagreeing table says of the count.
enum class CountFix {
  None,   // the header stays: what the run does not clean, or where it halts
  Would,  // --fix-count in a run that writes nothing
  Done,   // the header now counts the whole records
};

// "orders.dbf: the header counts 15 records, the file holds 20 whole records;
// records 16 to 20 are not cleaned (--fix-count)", and its kin; `table` as
// the line names it.
std::string ExtentText(const std::string& table, const TableExtent& extent, CountFix fix);

// What a run does about a table whose header and file disagree.
struct CountPlan {
  CountFix fix = CountFix::None;
  bool write = false;    // the count is written before the scrub (FixRecordCount)
  bool scrub = true;     // false: the walk would find no record to open the table on
  int64_t records = -1;  // the walk takes this count (ScrubOptions::records); -1 the header's
  // Not 0: after the walk, the record the run's walk would halt at (213),
  // read so that a run that writes nothing halts where the repair would.
  int64_t pastEnd = 0;
};

// The plan for a table measured as `extent`, in a run with or without
// --fix-count and --dry-run. A repair without --fix-count walks the header's
// count as ever: it halts at the file's end or leaves the hidden records;
// a dry run predicts that halt.
CountPlan PlanCount(const TableExtent& extent, bool fixCount, bool dryRun);

// Writes extent.FixedCount() into the header of the table at `path` (only
// the count's bytes) and flushes the file, so that the new count is on the
// disk before anything else is written. 0, or the platform's error number.
uint16_t FixRecordCount(kestrel::Platform& platform, const std::string& path, const TableExtent& extent);

// Whether a repaired field of type `type` (bytes as the repair leaves
// them, NULs read as the blanks they become) no longer holds a value of its
// type: a date with blanks among its digits, a number with a blank between
// its digits. Other types are never lost.
bool LostValue(char type, const uint8_t* bytes, size_t size);

// The notes of one table: its fields whose values are lost, by field and
// record, and its records whose deletion flag is neither blank nor '*'.
class TableNotes {
 public:
  // Field `field` (named `name`, of type `type`) of `record` lost its value.
  void LostField(int field, const std::string& name, char type, int32_t record);
  void OddFlag(int32_t record);
  bool Empty() const { return fields_.empty() && flags_.count == 0; }
  // "orders.dbf: not whole after the repair: BORN (date) in records 3, 7, 12
  // and 4 more; the deletion flag (neither blank nor '*') in record 9", or
  // "" when there is nothing to say.
  // `shown` gives each field name as the line shows it.
  std::string Text(const std::string& table, std::string (*shown)(const std::string&) = nullptr) const;
  void Clear() { *this = TableNotes(); }
  // Each field named `names[field]` instead, where `names` has it (the
  // header's own spelling in the place of the engine's capitals).
  void SpellFields(const std::vector<std::string>& names);

 private:
  // The first few record numbers and how many there are.
  struct Records {
    std::vector<int32_t> first;
    int64_t count = 0;
    void Add(int32_t record);
    std::string Text() const;
  };
  struct Field {
    int field;
    std::string name;
    char type;
    Records records;
  };
  std::vector<Field> fields_;  // in field order
  Records flags_;
};

// The --list word for a lost value of a field of `type`: "not a date",
// "not a number".
std::string LostValueWord(char type);

}  // namespace dbfclean
