// dbfclean-cli's session: everything one call does, the run of one
// directory or the runs of a tree's directories one after the other, and
// what they add up to. What it prints goes to its Reporter.
#pragma once

#include <atomic>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "args.h"
#include "kestrel/platform.h"
#include "report.h"
#include "run.h"

namespace dbfclean {

// --check: something would be fixed.
constexpr int kExitDamaged = 1;

class Session {
 public:
  // `tree`: the call walks a tree (--recursive). Stop requests are caught
  // from here on, until the session ends.
  Session(kestrel::Platform& host, const Settings& settings, Reporter& reporter, bool tree);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool Stopped() const { return stop_ && stop_->load(); }
  int directories() const { return walk_.directories; }

  // The run of `entries` of `cleanDir` as `dbfclean-cli DIRECTORY` makes it;
  // in a tree `relative` is the directory's path from the root. Its status.
  int Clean(const std::string& cleanDir, const std::string& relative, const std::vector<FileEntry>& entries);

  // The end of a call whose last run ended with `status`.
  int End(int status);
  // The lines of a call stopped from outside, and its status.
  int Interrupted();
  // The counts of a call that stopped because another program opened a
  // table it was cleaning: as after a stop request, the counts so far.
  void GaveBack();
  bool givenBack() const { return givenBack_; }
  // The end of a walk: how far it went and the summary over the tree.
  void Summary();

  const Counters& counts() const { return counts_; }
  // Whether anything would be repaired: a NUL, or a header whose count
  // disagrees with its file (--check says so with its status).
  bool NeedsRepair() const { return counts_.ZeroesFixed > 0 || disagreeing_ > 0; }

 private:
  using Unchecked = std::vector<std::pair<std::string, std::vector<std::string>>>;
  // One part of a directory's run: the selected `entries` up to the end or
  // to a halt (`halted`, with `goOn`: the engine's halt ends the part and
  // not the process); `begun` the tables it began, `summary` whether it
  // reached the run's end. Its status.
  int RunPart(const std::string& cleanDir, const std::string& relative, const std::vector<FileEntry>& entries,
              bool goOn, Unchecked* unchecked, int* begun, bool* halted, bool* summary);
  void Release();
  const WalkCounts* Walk() const { return tree_ ? &walk_ : nullptr; }

  kestrel::Platform& host_;
  const Settings& settings_;
  Reporter& reporter_;
  bool tree_;
  const std::atomic<bool>* stop_;
  bool caught_ = true;
  Counters counts_;        // over every run so far
  WalkCounts walk_;        // runs begun, tables begun, runs that ended with a halt
  std::string lastTable_;  // the table last worked on, as the lines name it
  int32_t done_ = 0;       // and its records done of its total
  int32_t total_ = 0;
  bool givenBack_ = false;      // the last run stopped for another program
  int disagreeing_ = 0;         // tables whose header's count and file disagree
  std::set<std::string> told_;  // a directory's index files named by a dry run
};

}  // namespace dbfclean
