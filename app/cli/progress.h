// dbfclean-cli's progress bar: one line on standard error under a table's
// line, redrawn in place while the table is scrubbed, and blanked out before
// any other line is printed.
#pragma once

#include <cstdint>

namespace dbfclean {

class ProgressBar {
 public:
  // A bar that is not shown draws nothing.
  void Show(bool shown) { shown_ = shown; }
  // Records done of the table's total; redrawn only when the bar grows by a
  // step, so that it costs nothing next to the scrub itself.
  void Draw(int32_t done, int32_t total);
  // Blanks out what the bar printed, if it did.
  void End();

 private:
  bool shown_ = false;
  bool active_ = false;
  int drawn_ = -1;
  int lastWidth_ = 0;
};

}  // namespace dbfclean
