// The field names of a table as its header spells them. The engine reads
// names in capitals (its lookups ignore case); a listing that a user holds
// against other readers of the table must show them as they are stored.
#pragma once

#include <string>
#include <vector>

#include "kestrel/platform.h"

namespace dbfclean {

// The names of the fields of the table at `path` by field number (element
// 0, the deletion flag, is empty), each cut as the engine cuts it: at most
// 10 characters, up to a NUL after the first. Empty when the header cannot
// be read; the caller then keeps the engine's names.
std::vector<std::string> SpelledFieldNames(kestrel::Platform& platform, const std::string& path);

}  // namespace dbfclean
