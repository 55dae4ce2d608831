// Running a program to its end the way a user's shell would and taking what
// it printed: its standard output, its standard error and its exit status.
// The CLI tests use it to run the real dbfclean-cli binary. (The testkit's
// ChildProcess talks to a program that keeps running; this one waits.)
#pragma once

#include <functional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <fstream>
#include <sstream>
#else
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace apptest {

struct ProcessResult {
  int status = -1;  // exit status; -1 when the program could not be started or died by a signal
  std::string out;
  std::string err;
};

#ifdef _WIN32

// One argument quoted for CreateProcess' command line: backslashes before a
// quote are doubled, quotes escaped.
inline std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string q = "\"";
  size_t slashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    q.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
    slashes = 0;
    q += c;
  }
  q.append(slashes * 2, '\\');
  return q + "\"";
}

// Both streams go to temporary files, so neither can fill up and block the child.
inline ProcessResult RunProcess(const std::vector<std::string>& argv) {
  ProcessResult result;
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  char outName[MAX_PATH], errName[MAX_PATH];
  GetTempFileNameA(dir, "out", 0, outName);
  GetTempFileNameA(dir, "err", 0, errName);
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(outName, GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  HANDLE err = CreateFileA(errName, GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  std::string line;
  for (const auto& a : argv) line += (line.empty() ? "" : " ") + QuoteArgument(a);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    result.status = static_cast<int>(code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(out);
  CloseHandle(err);
  // The child's streams are in text mode, which ends every line with CR LF
  // on Windows; the tests compare the lines the program wrote, with LF.
  auto slurp = [](const char* name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    for (size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos;) text.erase(p, 1);
    return text;
  };
  result.out = slurp(outName);
  result.err = slurp(errName);
  DeleteFileA(outName);
  DeleteFileA(errName);
  return result;
}

#else

// `watch`, when given, sees the child's standard error so far each time more
// of it arrives, with the child's id (to send it a signal at the right moment).
inline ProcessResult RunProcess(const std::vector<std::string>& argv,
                                const std::function<void(pid_t, const std::string&)>& watch = {}) {
  ProcessResult result;
  int outPipe[2], errPipe[2];
  // Close-on-exec: only the duplicates on 1 and 2 reach the child.
  if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  // Both pipes are drained together, so a child that fills one of them
  // while the other is read cannot stall.
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (rc == 0 && open > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
        if (i == 1 && watch) watch(pid, result.err);
      } else {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  close(outPipe[0]);
  close(errPipe[0]);
  int wstatus = 0;
  if (rc == 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  return result;
}

#endif

}  // namespace apptest
