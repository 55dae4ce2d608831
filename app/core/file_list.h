// Reading a directory's file list the way the dialog's file list shows it:
// ordinary files matching the mask (read-only and archived included; hidden,
// system, directories left out), sorted by name without regard to case.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

namespace dbfclean {

constexpr const char* kTableMask = "*.dbf";

// `masks` may hold several masks separated by ";". Returns 0 and the names,
// or the search's error number (3 for a missing directory).
int ReadFileList(kestrel::Platform& platform, const std::string& directory, const std::string& masks,
                 std::vector<std::string>* names);

// The order of a Windows list box: without regard to case, then by bytes.
bool ListBoxLess(const std::string& a, const std::string& b);

}  // namespace dbfclean
