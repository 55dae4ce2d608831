// dbfclean-cli's operands as tables: a path to one table, the tables of a
// directory as the dialog's file list has them, the TABLE operands among
// them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kestrel/platform.h"
#include "report.h"
#include "run.h"

namespace dbfclean {

// "dir/t.dbf" as "dir" and "t.dbf" (a name alone lies in "."), when it names
// a file with the extension .dbf (in any case), on every system.
bool SplitTablePath(kestrel::Platform& platform, const std::string& path, std::string* dir, std::string* name);

// The tables of `directory` (`cleanDir`: as it is on disk) as the dialog's
// file list has them, with the TABLE operands `wanted` selected (all of them
// without any); a status when the call names what is not there, its
// complaint told to `reporter`.
std::optional<int> ReadTables(kestrel::Platform& platform, const std::string& directory, const std::string& cleanDir,
                              const std::vector<std::string>& wanted, std::vector<FileEntry>* entries,
                              Reporter& reporter);

}  // namespace dbfclean
