// Reading a directory's file list the way the dialog's file list shows it:
// ordinary files matching the mask (read-only and archived included; hidden,
// system, directories left out), sorted by name without regard to case.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "kestrel/platform.h"

namespace dbfclean {

constexpr const char* kTableMask = "*.dbf";

// `masks` may hold several masks separated by ";". Returns 0 and the names,
// or the search's error number (3 for a missing directory, 5 for one that
// may not be read).
// `onBusy`, when set, is called each time a name is inserted at sorted position
// 100 (the moment the dialog shows the busy cursor). `style` says how the
// directory and a mask are joined.
int ReadFileList(kestrel::Platform& platform, const std::string& directory, const std::string& masks,
                 std::vector<std::string>* names, const std::function<void()>& onBusy = {},
                 kestrel::PathStyle style = kestrel::HostPathStyle());

// Inserts `name` at its sorted place unless it is there already; returns the
// position, or -1 for a name already listed.
int InsertListBoxName(std::vector<std::string>* names, const std::string& name);

// The order of a Windows list box: without regard to case, then by bytes.
bool ListBoxLess(const std::string& a, const std::string& b);

}  // namespace dbfclean
