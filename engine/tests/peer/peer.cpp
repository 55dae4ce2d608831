// A second process for the sharing and locking tests. Commands:
//   peer use "COMMAND"            USE the table, print the error code, exit
//   peer hold "COMMAND" SECONDS   USE it, print "ready" (or the code) and
//                                 keep it open for SECONDS, then close
//   peer lockrec "COMMAND" N      USE it shared, lock record N, print the
//                                 result code and exit
// Reports are recorded, never shown: the code goes to standard output.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "kestrel/engine.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  kestrel::Engine engine;
  engine.AutoReport = false;
  const std::string verb = argv[1];
  engine.USE(argv[2]);
  if (verb == "use") {
    std::printf("%u\n", engine.ErrorCode);
    return 0;
  }
  if (verb == "hold") {
    if (engine.ErrorCode != 0) {
      std::printf("%u\n", engine.ErrorCode);
      return 0;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(std::atof(argv[3]) * 1000)));
    engine.USE("");
    return 0;
  }
  if (verb == "lockrec") {
    if (engine.ErrorCode != 0) {
      std::printf("open %u\n", engine.ErrorCode);
      return 0;
    }
    engine.LockRec(std::atoi(argv[3]));
    std::printf("%u\n", engine.ErrorCode);
    return 0;
  }
  return 2;
}
