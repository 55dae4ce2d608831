// What the file selection dialog shows, without any toolkit: the drive box's
// entries, the directory list's items, the control table and the scaling
// arithmetic. The Win32 and the Qt program only draw what these return.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/platform.h"

namespace dbfclean {

using kestrel::PathStyle;

// ---- Drive box -----------------------------------------------------------

enum class DriveKind { Removable, Fixed, Network, CdRom, RamDisk, Other };

struct DriveEntry {
  std::string text;    // what the box shows, e.g. "c: [data]" or "/ []"
  std::string bitmap;  // resource name: FLOPPY, HARD, NETWORK, CDROM or RAM
  std::string root;    // what choosing the entry enters: "c:" or the mount point
};

// The bitmap of a drive kind; empty for Other.
const char* DriveBitmap(DriveKind kind);

// A Windows drive's entry. `letter` in any case; `label` is read only for
// non-removable drives by the caller; `networkPath` is empty when the
// connection cannot be read. Other kinds give no entry.
std::optional<DriveEntry> WindowsDriveEntry(char letter, DriveKind kind, const std::string& label,
                                            const std::string& networkPath);

// A mounted Linux volume as the drive box shows it; no entry for pseudo file
// systems and mounts under /proc, /sys, /dev and /run (except /run/media).
struct MountedVolume {
  std::string fsType;
  std::string mountPoint;
  std::string source;  // server:/export or //server/share for network mounts
  std::string label;
};
DriveKind LinuxDriveKind(const MountedVolume& volume);
bool IsPseudoVolume(const MountedVolume& volume);
std::optional<DriveEntry> LinuxDriveEntry(const MountedVolume& volume);

// The entries sorted by mount point, pseudo volumes left out.
std::vector<DriveEntry> LinuxDriveEntries(std::vector<MountedVolume> volumes);

// The index of the Linux entry holding `directory`: the longest mount point
// that is a prefix of it (at a "/" boundary); -1 when none.
int LinuxEntryFor(const std::vector<DriveEntry>& entries, const std::string& directory);

// The drive box's item height: the larger of text height and FLOPPY's height.
constexpr int kDriveBitmapHeight = 11;
int DriveItemHeight(int textHeight, int floppyHeight = kDriveBitmapHeight);

// ---- Directory list ------------------------------------------------------

enum class DirItemKind { Root, Ancestor, Current, Subdirectory };

struct DirItem {
  DirItemKind kind;
  std::string text;    // display text (display case applied)
  std::string bitmap;  // OPENFOLDER, CURRENTFOLDER or CLOSEDFOLDER
  int indent;          // pixels from the left edge to the bitmap
  std::string path;    // the directory that opening the item makes current
};

// Names are shown in lower case when the volume neither keeps nor tells case.
bool ShowsLowerCase(bool caseSensitive, bool casePreserving);

// Two directory paths are the same directory: case matters only on
// case-sensitive volumes.
bool SamePath(const std::string& a, const std::string& b, bool caseSensitive);

// The items for `directory` (a full path: "c:\data\sub", "c:\", "/home/x", "/").
// `subdirectories` are names as listed ("." and ".." are dropped here), sorted
// here by name.
std::vector<DirItem> DirectoryItems(const std::string& directory, std::vector<std::string> subdirectories,
                                    PathStyle style, bool lowerCase);

// The index of the current directory's item (the selected one).
int CurrentItemIndex(const std::vector<DirItem>& items);

// The program's directory from its full file name: everything up to and
// including the last separator (Windows: "\" or ":").
std::string ProgramDirectory(const std::string& programPath, PathStyle style);

// ---- File list -----------------------------------------------------------

// The sorted position at which inserting a name turns on the busy cursor.
constexpr size_t kBusyCursorPosition = 100;

// The file list's selection by mouse, one rule for both programs: that of
// the Windows list box with extended selection, which is what the users of
// these tables know. A click selects the item alone; Ctrl+click turns one
// item on or off; both make the item the anchor. Shift+click selects the
// range from the anchor to the item and nothing else; Ctrl+Shift+click adds
// that range to what is selected. The anchor stays where it was for both, so
// a second Shift+click measures from the same item.
struct ListSelection {
  std::vector<bool> selected;
  int anchor = -1;  // -1: none yet (a Shift+click then starts at its own item)
  int caret = -1;   // the item clicked last
};
void ClickItem(ListSelection* selection, int index, bool ctrl, bool shift);

// A name as the dialog shows it, for a toolkit that draws UTF-8: valid UTF-8
// as it stands, and every byte that is not part of a valid sequence (a
// Latin-1 name in a UTF-8 locale) as "\xE9", never as a replacement
// character, so that two such names stay apart on the screen.
std::string EscapedName(const std::string& bytes);

// ---- Boxes ---------------------------------------------------------------

// A box's text with `newline` put into every word wider than `maxWidth` (as
// `width` measures a piece of it), after the last path separator that fits,
// else where the width is reached. The system's boxes break lines between
// words only, and a long path is one word that would make a box wider than
// the screen; breaking between words stays theirs.
std::string WrapToWidth(const std::string& text, int maxWidth, const std::function<int(std::string_view)>& width,
                        const std::string& newline = "\n");

// ---- Controls and scaling ------------------------------------------------

enum class ControlClass { Label, DirectoryList, FileList, DriveCombo, Edit, Button };

struct ControlPlace {
  const char* name;
  ControlClass cls;
  int left, top, width, height;
  const char* text;  // caption, label text or glyph-less text; "" when none
  int tabOrder;      // -1 for labels
};

struct Rect {
  int left, top, width, height;
  bool operator==(const Rect&) const = default;
};

constexpr const char* kDialogCaption = "Select Files to Clean Up";
constexpr int kDialogClientWidth = 360;
constexpr int kDialogClientHeight = 266;
constexpr int kDialogFontHeight = -11;  // "MS Sans Serif", 8 point
constexpr int kDesignPpi = 96;
constexpr int kDesignTextHeight = 13;
constexpr int kDirItemHeight = 16;
constexpr int kFileItemHeight = 13;

// The dialog's controls in the order of the form.
const std::vector<ControlPlace>& DialogControls();
const ControlPlace* FindControl(const char* name);

// Windows' MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c);

// The dialog's font height on a display of `ppi` pixels per inch.
int DialogFontHeight(int ppi);

// A design value scaled to the font's text height on the display.
int ScaleToTextHeight(int value, int textHeight);
Rect ScaleControl(const ControlPlace& control, int textHeight);

}  // namespace dbfclean
