// dbfclean-cli's text format: the lines a person reads on a terminal and a
// script reads from a log.
#include "report.h"

#include <cstdio>

#include "kestrel/engine.h"

namespace dbfclean {

namespace {

constexpr const char* kProgram = "dbfclean-cli";

}  // namespace

std::string Printable(const std::string& text) {
  const bool escapeBackslash = kestrel::HostPathStyle() != kestrel::PathStyle::Windows;
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\\' && escapeBackslash) {
      out += "\\\\";
    } else if (u < 0x20 || u == 0x7F) {
      const char octal[] = {'\\', static_cast<char>('0' + (u >> 6)), static_cast<char>('0' + ((u >> 3) & 7)),
                            static_cast<char>('0' + (u & 7)), '\0'};
      out += octal;
    } else {
      out += c;
    }
  }
  return out;
}

void TextReporter::Configure(bool quiet, bool bar) {
  quiet_ = quiet;
  bar_.Show(bar);
}

void TextReporter::Help(const char* usage) { std::fputs(usage, stdout); }

void TextReporter::Version(const char* version) { std::printf("%s %s\n", kProgram, version); }

void TextReporter::UsageError(const std::string& text) {
  // A table the run refuses is named under its directory's line.
  ShowHeading();
  // One line, so that a script's log shows the whole complaint in one place.
  std::fprintf(stderr, "%s: %s (see '%s --help')\n", kProgram, text.c_str(), kProgram);
}

void TextReporter::NoTables(const std::string& directory, bool tree) {
  std::fprintf(stderr, "No .dbf tables %s %s: nothing to clean.\n", tree ? "under" : "in",
               Printable(directory).c_str());
}

void TextReporter::DirectoryBegun(const std::string& relative) {
  line_.clear();
  heading_ = Printable(relative.empty() ? "." : relative) + ":";
  // When quiet it comes only before a line about the directory, if one does.
  if (!quiet_) ShowHeading();
}

void TextReporter::DirectoryUnreadable(const std::string& relative, int32_t rc) {
  std::fprintf(stderr, "%s: cannot read directory %s: %s\n", kProgram, Printable(relative).c_str(),
               rc == kestrel::oserr::AccessDenied ? "access denied"
                                                  : kestrel::Engine::ErrorMessage(static_cast<uint16_t>(rc)).c_str());
  std::fflush(stderr);
}

void TextReporter::TableBegun(const std::string& text) {
  bar_.End();
  line_ = Printable(text);
  if (!quiet_) Say(line_);
}

void TextReporter::Progress(int32_t done, int32_t total) { bar_.Draw(done, total); }

void TextReporter::FieldRepaired(const std::string& table, const FieldRepair& r) {
  std::printf("%s\t%d\t%s\t%d\n", Printable(table).c_str(), static_cast<int>(r.record), Printable(r.name).c_str(),
              static_cast<int>(r.zeroes));
}

void TextReporter::TableDone(const std::string& table, const Counters& counts) {
  line_.clear();
  if (quiet_) return;
  Say(Printable(table) + ": " + std::to_string(counts.ZeroesFixed) + " zeroes in " +
      std::to_string(counts.RecordsFixed) + " records");
}

void TextReporter::FieldLost(const std::string& table, const FieldRepair& r) {
  // In the four columns of the list line, with words where its count stands.
  std::printf("%s\t%d\t%s\t%s\n", Printable(table).c_str(), static_cast<int>(r.record), Printable(r.name).c_str(),
              LostValueWord(r.type).c_str());
}

// The lines of a table's header and notes come also when quiet, as the
// index files left in place do: they name what the user has to see to
// (records the run did not clean, values to enter again), and a quiet
// check's log must say why it answered 1.
void TextReporter::CountDisagrees(const std::string& table, const TableExtent& extent, CountFix fix) {
  Say(ExtentText(Printable(table), extent, fix));
}

void TextReporter::Notes(const std::string& table, const TableNotes& notes) {
  Say(notes.Text(Printable(table), Printable));
}

void TextReporter::IndexDone(const std::string& name, IndexOutcome outcome) {
  // A file that could not be erased is named also when quiet: the report
  // that follows counts them only.
  if (outcome == IndexOutcome::NotErased) Say("Could not erase " + Printable(name));
  if (quiet_ || outcome == IndexOutcome::NotErased) return;
  Say((outcome == IndexOutcome::Erased ? "Erased " : "Would erase ") + Printable(name));
}

void TextReporter::IndexLeft(const std::string& name) {
  Say("Left " + Printable(name) + " in place: its application must rebuild it");
}

void TextReporter::TablesDone() { bar_.End(); }

void TextReporter::Failed(const std::string& text) {
  ShowHeading();
  std::fprintf(stderr, "%s: %s\n", kProgram, Printable(text).c_str());
}

void TextReporter::Halted(const std::string& caption, const std::string& text) {
  ShowHeading();
  if (quiet_ && !line_.empty()) Say(line_);
  line_.clear();
  std::fprintf(stderr, "%s\n%s\n", caption.c_str(), kestrel::WithNewlines(text).c_str());
  std::fflush(stderr);
}

void TextReporter::SharingUnchecked(const std::string& why, const std::vector<std::string>& paths) {
  std::string names;
  for (const auto& p : paths) names += (names.empty() ? "" : ", ") + Printable(p);
  ShowHeading();
  std::fprintf(stderr,
               "%s: could not tell whether other programs have these tables open (%s); only their locks were "
               "checked: %s\n",
               kProgram, why.c_str(), names.c_str());
  std::fflush(stderr);
}

void TextReporter::Summary(const Counters& counts, bool dryRun, const WalkCounts* walk) {
  bar_.End();
  if (walk) Visited(*walk);
  std::printf("%s\n", SummaryText(counts, dryRun).c_str());
  std::fflush(stdout);
}

void TextReporter::Interrupted(const std::string& table, int32_t done, int32_t total, bool dryRun,
                               const Counters& counts, const WalkCounts* walk) {
  std::string where = "before the first table";
  if (!table.empty() && done < total) {
    where = "after record " + std::to_string(done) + " of " + std::to_string(total) + " of " + Printable(table);
  } else if (!table.empty()) {
    where = "after " + Printable(table);
  }
  std::fprintf(stderr, "Interrupted %s; %s.\n", where.c_str(),
               dryRun ? "nothing was written" : "the repairs so far are on disk");
  if (walk) Visited(*walk);
  std::printf("Interrupted: %s %lld zeroes in %lld records\n", dryRun ? "would fix" : "fixed",
              static_cast<long long>(counts.ZeroesFixed), static_cast<long long>(counts.RecordsFixed));
  std::fflush(stdout);
}

void TextReporter::Stopped(const Counters& counts, const WalkCounts* walk) {
  if (walk) Visited(*walk);
  std::printf("Stopped: fixed %lld zeroes in %lld records\n", static_cast<long long>(counts.ZeroesFixed),
              static_cast<long long>(counts.RecordsFixed));
  std::fflush(stdout);
}

void TextReporter::ShowHeading() {
  bar_.End();
  if (heading_.empty()) return;
  std::fprintf(stderr, "%s\n", heading_.c_str());
  std::fflush(stderr);
  heading_.clear();
}

void TextReporter::Say(const std::string& line) {
  ShowHeading();
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void TextReporter::Visited(const WalkCounts& walk) {
  if (!walk.tree) {
    std::printf("Visited %d tables; %d halted.\n", walk.tables, walk.halted);
    return;
  }
  std::printf("Visited %d directories and %d tables%s.\n", walk.directories, walk.tables,
              walk.halted ? ("; " + std::to_string(walk.halted) + " halted").c_str() : "");
}

}  // namespace dbfclean
