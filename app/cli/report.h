// dbfclean-cli's output: every line the program prints goes through one
// Reporter, so that a new kind of line is one method and a new format one
// implementation. The session hands it what happened (names as the lines
// name them, counts, codes); the format decides the words, the streams and
// the escapes. TextReporter is today's format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "progress.h"
#include "run.h"

namespace dbfclean {

// How far a walk over a tree went, for the lines that end it.
struct WalkCounts {
  int directories = 0;  // directories whose tables were cleaned
  int tables = 0;       // tables begun
  int halted = 0;       // tables the engine halted on
  bool tree = true;     // false: the tables of one directory
};

class Reporter {
 public:
  virtual ~Reporter() = default;

  // The call itself: --help, --version, a wrong call (`text` says what is
  // wrong, its names printable already), a directory without tables (`tree`:
  // the root of a walk).
  virtual void Help(const char* usage) = 0;
  virtual void Version(const char* version) = 0;
  virtual void UsageError(const std::string& text) = 0;
  virtual void NoTables(const std::string& directory, bool tree) = 0;

  // A walk: the directory whose lines follow (its path from the root, ""
  // for the root), and one that cannot be read (`rc`: the search's error).
  virtual void DirectoryBegun(const std::string& relative) = 0;
  virtual void DirectoryUnreadable(const std::string& relative, int32_t rc) = 0;

  // A directory's run. `text` is the run's line for the table; a table in
  // FieldRepaired is named by its path from the root of a walk, elsewhere by
  // its file name.
  virtual void TableBegun(const std::string& text) = 0;
  virtual void Progress(int32_t done, int32_t total) = 0;
  virtual void FieldRepaired(const std::string& table, const FieldRepair& repair) = 0;
  virtual void TableDone(const std::string& table, const Counters& counts) = 0;
  // --list: a field whose value the repair cannot make whole (FieldRepair::lost),
  // after its FieldRepaired.
  virtual void FieldLost(const std::string& table, const FieldRepair& repair) = 0;
  // Before a table's scrub: its header's record count and its file disagree,
  // and what the run does about it (see ExtentText).
  virtual void CountDisagrees(const std::string& table, const TableExtent& extent, CountFix fix) = 0;
  // After a table's line: what its repair cannot make whole.
  virtual void Notes(const std::string& table, const TableNotes& notes) = 0;
  virtual void IndexDone(const std::string& name, IndexOutcome outcome) = 0;
  // An index file of another kind, left beside a repaired table.
  virtual void IndexLeft(const std::string& name) = 0;
  virtual void TablesDone() = 0;
  // The last word of a run that an exception ended.
  virtual void Failed(const std::string& text) = 0;
  // The engine's halting report ("Program halted." and its lines): the
  // command-line platform's halt box (see session.cpp) hands it here.
  virtual void Halted(const std::string& caption, const std::string& text) = 0;
  // Tables whose other openers could not be seen, for the reason `why`:
  // only their locks were checked.
  virtual void SharingUnchecked(const std::string& why, const std::vector<std::string>& paths) = 0;

  // The call's end: the summary; a stop request after record `done` of
  // `total` of `table` ("" before the first table); a stop because another
  // program opened a table. `walk` is set for a walk over a tree.
  virtual void Summary(const Counters& counts, bool dryRun, const WalkCounts* walk) = 0;
  virtual void Interrupted(const std::string& table, int32_t done, int32_t total, bool dryRun, const Counters& counts,
                           const WalkCounts* walk) = 0;
  virtual void Stopped(const Counters& counts, const WalkCounts* walk) = 0;
};

// A name or path as it is printed: control characters escaped ("\n", "\t",
// "\033"), so that every line stays one line, a list line keeps its four
// columns and nothing reaches the terminal as a command. Where "\" may be
// part of a name (not on Windows, whose separator it is) it is escaped too,
// so that the escapes read back unambiguously.
std::string Printable(const std::string& text);

// The lines for a person and a script: the summary and --list lines on
// standard output, everything else on standard error. In a walk a line
// names each directory before its first line ("a/b:"); when quiet only the
// lines that matter come, and before a halting report the lines of the
// directory and of the table it is about, which nothing printed before.
class TextReporter : public Reporter {
 public:
  // `bar`: a progress bar under each table's line (standard error is a
  // terminal).
  void Configure(bool quiet, bool bar);

  void Help(const char* usage) override;
  void Version(const char* version) override;
  void UsageError(const std::string& text) override;
  void NoTables(const std::string& directory, bool tree) override;
  void DirectoryBegun(const std::string& relative) override;
  void DirectoryUnreadable(const std::string& relative, int32_t rc) override;
  void TableBegun(const std::string& text) override;
  void Progress(int32_t done, int32_t total) override;
  void FieldRepaired(const std::string& table, const FieldRepair& repair) override;
  void TableDone(const std::string& table, const Counters& counts) override;
  void FieldLost(const std::string& table, const FieldRepair& repair) override;
  void CountDisagrees(const std::string& table, const TableExtent& extent, CountFix fix) override;
  void Notes(const std::string& table, const TableNotes& notes) override;
  void IndexDone(const std::string& name, IndexOutcome outcome) override;
  void IndexLeft(const std::string& name) override;
  void TablesDone() override;
  void Failed(const std::string& text) override;
  void Halted(const std::string& caption, const std::string& text) override;
  void SharingUnchecked(const std::string& why, const std::vector<std::string>& paths) override;
  void Summary(const Counters& counts, bool dryRun, const WalkCounts* walk) override;
  void Interrupted(const std::string& table, int32_t done, int32_t total, bool dryRun, const Counters& counts,
                   const WalkCounts* walk) override;
  void Stopped(const Counters& counts, const WalkCounts* walk) override;

 private:
  // The directory's line, once, before the first line about it.
  void ShowHeading();
  // A line about the directory on standard error, after the bar is gone.
  void Say(const std::string& line);
  void Visited(const WalkCounts& walk);

  bool quiet_ = false;
  ProgressBar bar_;
  std::string heading_;  // not printed yet
  std::string line_;     // the line of the table being cleaned, until it is done with
};

}  // namespace dbfclean
