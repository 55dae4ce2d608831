// A second process for the sharing and locking tests. Commands:
//   peer use "COMMAND"            USE the table, print the error code, exit
//   peer hold "COMMAND" SECONDS   USE it, print "ready" (or the code) and
//                                 keep it open for SECONDS, then close
//   peer lockrec "COMMAND" N      USE it shared, lock record N, print the
//                                 result code and exit
//   peer serve                    print "ready", then run one command per
//                                 line of standard input and answer each with
//                                 the error code: "USE COMMAND", "LOCKREC N",
//                                 "CLOSE"; ends at the end of its input. The
//                                 test decides when the peer lets go, so
//                                 nothing depends on timing.
// Reports are recorded, never shown: the code goes to standard output.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "kestrel/engine.h"

namespace {

int Serve(kestrel::Engine& engine) {
  std::printf("ready\n");
  std::fflush(stdout);
  char line[1024];
  while (std::fgets(line, sizeof line, stdin)) {
    std::string command = line;
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) command.pop_back();
    const std::string verb = command.substr(0, command.find(' '));
    const std::string rest = verb.size() < command.size() ? command.substr(verb.size() + 1) : std::string();
    if (verb == "USE") {
      engine.USE(rest);
    } else if (verb == "LOCKREC") {
      engine.LockRec(std::atoi(rest.c_str()));
    } else if (verb == "CLOSE") {
      engine.USE("");
    } else {
      engine.ErrorCode = 220;
    }
    std::printf("%u\n", engine.ErrorCode);
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  kestrel::Engine engine;
  engine.AutoReport = false;
  if (argc == 2 && std::string(argv[1]) == "serve") return Serve(engine);
  if (argc < 3) return 2;
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
