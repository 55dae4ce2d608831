// dbfclean-cli --recursive: the walk over a tree of directories. Each
// directory is read once, in one search that gives its tables and the
// directories under it; directories come depth first, each before the ones
// under it, in the file list's name order. Hidden directories are left out
// as hidden tables are, and so are links to directories: a link may lead
// back up the tree (and round for ever) or out of it.
#pragma once

#include <string>
#include <vector>

#include "kestrel/platform.h"

namespace dbfclean {

struct TreeDirectory {
  std::string path;                 // the root's path + the names under it
  std::string relative;             // from the root: "" for the root itself
  std::vector<std::string> tables;  // its *.dbf files, in name order
};

class TreeWalk {
 public:
  TreeWalk(kestrel::Platform& platform, const std::string& root);

  // A directory whose path is `path` is not entered (nor anything under it);
  // the root always is.
  void LeaveOut(const std::string& path);

  // The next directory: 0 with it read into `*dir`; the search's error
  // number (5: it may not be read) with `dir->path` and `dir->relative` of
  // one that cannot be read, after which the walk goes on; 18 at the end.
  int32_t Next(TreeDirectory* dir);

 private:
  struct Pending {
    std::string path;
    std::string relative;
  };
  bool LeftOut(const std::string& path) const;

  kestrel::Platform& platform_;
  std::vector<Pending> pending_;  // a stack: the next directory on top
  std::vector<std::string> leftOut_;
};

}  // namespace dbfclean
