// The zero-byte scrub of one table: every NUL byte inside a field becomes a
// blank, in place, through the engine's public operations; and the counts
// it keeps.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "kestrel/engine.h"

namespace dbfclean {

// 64-bit: a pre-allocated table of a few GB that was never written holds more
// than 2^31 NUL bytes, and the summary must show the true number.
struct Counters {
  int64_t ZeroesFixed = 0;
  int64_t RecordsFixed = 0;
};

// A field of one record that held NUL bytes: where, and how many.
struct FieldRepair {
  int32_t record = 0;
  int field = 0;       // the field's number, from 1
  std::string name;    // the field's name
  int32_t zeroes = 0;  // NUL bytes replaced (or, in a dry run, that would be)
  char type = 'C';     // the field's type
  bool lost = false;   // a date or number no more once repaired (see LostValue)
};

struct ScrubOptions {
  bool dryRun = false;  // walk and count, write nothing
  // After a record, or after a run of records read ahead together: the
  // number of the last one done.
  std::function<void(int32_t done, int32_t total)> progress;
  // Each field repaired (or found in a dry run), before it is written back.
  std::function<void(const FieldRepair&)> repaired;
  // Called once per table, just before its first write (never in a dry run or
  // for a clean table). An exception thrown here stops the table untouched.
  std::function<void()> beforeFirstWrite;
  // Read after each record: when set, the scrub closes the table and returns
  // with the records done so far.
  // (Records without NULs change nothing, so a run of them is passed whole
  // before the flag is read again.)
  const std::atomic<bool>* stop = nullptr;
  // Read as `stop` is: another program asks for the table (see
  // Platform::GiveBackRequests).
  const std::atomic<bool>* giveBack = nullptr;
  // When not negative: the walk takes the table as if its header counted
  // this many records (no more than the file holds whole). Not in a run that
  // writes: a count is changed on the disk, and the walk reads it from there.
  int64_t records = -1;
  // Each record whose deletion flag is neither blank nor '*', in record
  // order (a flag is no field, and the repair never changes it). The walk
  // looks at a window's flags before its fields, so these calls do not
  // keep their place among those of `repaired`.
  std::function<void(int32_t record)> oddFlag;
  // Each field whose value the repair cannot make whole (FieldRepair::lost),
  // after `repaired`: only these are named when `repaired` is not set.
  std::function<void(const FieldRepair&)> lost;
};

// Replaces every NUL byte of every field of the table at `path` by a blank,
// in place, through the engine's public operations, and counts them.
void ScrubTable(kestrel::Engine& engine, const std::string& path, Counters& counters, const ScrubOptions& options = {});

// Opens the table at `path` for reading only and reads record `record`,
// past the file's end: the engine halts with the report the run's walk
// meets there (213, "End of file found unexpectedly"). Returns when the
// record is there after all.
void ReadPastEnd(kestrel::Engine& engine, const std::string& path, int32_t record);

}  // namespace dbfclean
