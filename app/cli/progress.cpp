// The progress bar of dbfclean-cli.
#include "progress.h"

#include <cstdio>
#include <string>

namespace dbfclean {

void ProgressBar::Draw(int32_t done, int32_t total) {
  if (!shown_ || total <= 0) return;
  const int width = 30;  // keeps the line under 70 columns for any count
  const int filled = static_cast<int>(static_cast<int64_t>(done) * width / total);
  if (active_ && filled == drawn_ && done != total) return;
  drawn_ = filled;
  active_ = true;
  std::string line(static_cast<size_t>(width), '.');
  for (int i = 0; i < filled && i < width; ++i) line[static_cast<size_t>(i)] = '#';
  lastWidth_ =
      std::fprintf(stderr, "\r  [%s] %d/%d records", line.c_str(), static_cast<int>(done), static_cast<int>(total));
  std::fflush(stderr);
}

void ProgressBar::End() {
  if (!active_) return;
  // Blank out what the bar printed (its "\r" included), and the two
  // columns after it where a terminal echoes a Ctrl+C as "^C".
  std::fprintf(stderr, "\r%*s\r", lastWidth_ > 1 ? lastWidth_ + 1 : 1, "");
  std::fflush(stderr);
  active_ = false;
  drawn_ = -1;
}

}  // namespace dbfclean
