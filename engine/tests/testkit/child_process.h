// A second program run by a test, talked to line by line through its standard
// input and output: the tests of sharing and locks between processes use it
// to keep a table open or a record locked in another process. POSIX uses
// posix_spawn with two pipes, Windows CreateProcessA with two pipes.
#pragma once

#include <string>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace testkit {

class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args) { Start(program, args); }
  ~ChildProcess() { Finish(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Running() const { return running_; }

  // The next line the child prints, without its line end; empty once the
  // child has closed its output.
  std::string ReadLine() {
    std::string line;
    char c;
    while (ReadByte(&c)) {
      if (c == '\n') break;
      if (c != '\r') line += c;
    }
    return line;
  }

  // Sends one line and waits for the one line of answer.
  std::string Ask(const std::string& line) {
    std::string out = line + "\n";
    WriteAll(out.data(), out.size());
    return ReadLine();
  }

  // Ends the child's input and waits until it has gone, so that whatever it
  // held open is released when this returns.
  void Finish() {
    if (!running_) return;
    running_ = false;
#ifdef _WIN32
    CloseHandle(toChild_);
    WaitForSingleObject(process_, 30000);
    CloseHandle(fromChild_);
    CloseHandle(process_);
#else
    ::close(toChild_);
    int status = 0;
    waitpid(pid_, &status, 0);
    ::close(fromChild_);
#endif
  }

 private:
#ifdef _WIN32
  void Start(const std::string& program, const std::vector<std::string>& args) {
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite;
    if (!CreatePipe(&inRead, &inWrite, &sa, 0)) return;
    if (!CreatePipe(&outRead, &outWrite, &sa, 0)) return;
    // Only the child's ends are inherited; ours must not keep its input open.
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    std::string cmd = "\"" + program + "\"";
    for (const auto& a : args) cmd += " \"" + a + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    running_ = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi) != 0;
    CloseHandle(inRead);
    CloseHandle(outWrite);
    toChild_ = inWrite;
    fromChild_ = outRead;
    if (!running_) {
      CloseHandle(toChild_);
      CloseHandle(fromChild_);
      return;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
  }
  bool ReadByte(char* c) {
    DWORD got = 0;
    return running_ && ReadFile(fromChild_, c, 1, &got, nullptr) && got == 1;
  }
  void WriteAll(const char* p, size_t n) {
    DWORD put = 0;
    if (running_) WriteFile(toChild_, p, static_cast<DWORD>(n), &put, nullptr);
  }
  HANDLE toChild_ = nullptr, fromChild_ = nullptr, process_ = nullptr;
#else
  void Start(const std::string& program, const std::vector<std::string>& args) {
    signal(SIGPIPE, SIG_IGN);  // a child that died must fail the test, not end it
    // Close-on-exec, so that a second child does not keep the first one's
    // input open; the duplicates on 0 and 1 are inherited all the same.
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    running_ = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
    if (!running_) {
      ::close(toChild_);
      ::close(fromChild_);
    }
  }
  bool ReadByte(char* c) { return running_ && ::read(fromChild_, c, 1) == 1; }
  void WriteAll(const char* p, size_t n) {
    while (running_ && n > 0) {
      ssize_t put = ::write(toChild_, p, n);
      if (put <= 0) return;
      p += put;
      n -= static_cast<size_t>(put);
    }
  }
  int toChild_ = -1, fromChild_ = -1;
  pid_t pid_ = 0;
#endif
  bool running_ = false;
};

}  // namespace testkit
