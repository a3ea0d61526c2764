// Processes and module path on Linux: posix_spawn with a working directory, waitpid,
// /proc/self/exe.
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "system/command_line.h"
#include "system/process.h"
#include "system/text.h"

extern char** environ;

namespace {
// A file the system can start by itself: an ELF executable or a script with "#!".
bool IsStartable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char head[4] = {};
  const ssize_t n = ::read(fd, head, sizeof head);
  ::close(fd);
  const bool elf = n == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
  const bool script = n >= 2 && head[0] == '#' && head[1] == '!';
  return elf || script;
}

constexpr long kPollNanoseconds = 20 * 1000 * 1000;  // 20 ms between checks of a running process
}  // namespace

ProcessHandle StartProgram(const std::wstring& program, const std::wstring& workingFolder, void*,
                           const std::wstring& arguments) {
  const std::string path = ToUtf8(program);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !IsStartable(path)) return kNoProcess;
  // Downloads arrive without the executable bit.
  ::chmod(path.c_str(), st.st_mode | S_IXUSR);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, ToUtf8(workingFolder).c_str());
  std::vector<std::string> strings{path};
  for (const std::wstring& argument : SplitCommandLine(arguments)) strings.push_back(ToUtf8(argument));
  std::vector<char*> argv;
  for (std::string& text : strings) argv.push_back(text.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? static_cast<ProcessHandle>(pid) : kNoProcess;
}

WaitResult WaitForProcess(ProcessHandle process, std::uint32_t milliseconds, int* exitCode) {
  const auto pid = static_cast<pid_t>(process);
  // A process descriptor becomes readable the moment the process ends, so the wait ends with
  // it; checking every kPollNanoseconds instead keeps a run up to that long after a short
  // final setup. The checks remain for a kernel without process descriptors.
  const int descriptor = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  WaitResult result = WaitResult::Timeout;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) {
      if (exitCode != nullptr) {
        *exitCode = r != pid ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      result = WaitResult::Ended;
      break;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    if (descriptor >= 0) {
      pollfd ended{descriptor, POLLIN, 0};
      ::poll(&ended, 1, static_cast<int>(left.count()));
    } else {
      const auto pause = std::min<std::chrono::nanoseconds>(left, std::chrono::nanoseconds(kPollNanoseconds));
      timespec wait{0, static_cast<long>(pause.count())};
      ::nanosleep(&wait, nullptr);
    }
  }
  if (descriptor >= 0) ::close(descriptor);
  return result;
}

void CloseProcess(ProcessHandle) {}

std::vector<std::wstring> GetCommandLineArguments() {
  std::vector<std::wstring> arguments;
  const int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return arguments;
  std::string all;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  // NUL-terminated arguments, the program's own name first.
  for (std::size_t start = all.find('\0'); start != std::string::npos && start + 1 < all.size();) {
    const std::size_t end = all.find('\0', start + 1);
    arguments.push_back(FromUtf8(all.substr(start + 1, end - start - 1)));
    start = end;
  }
  return arguments;
}

std::wstring GetArgumentsAfterDoubleDash() {
  const std::vector<std::wstring> arguments = GetCommandLineArguments();
  for (auto it = arguments.begin(); it != arguments.end(); ++it) {
    if (*it == L"--") return JoinCommandLine({it + 1, arguments.end()});
  }
  return {};
}

std::wstring GetEnvironmentValue(const std::wstring& name) {
  const char* value = std::getenv(ToUtf8(name).c_str());
  return value != nullptr ? FromUtf8(value) : std::wstring();
}

std::wstring GetModulePath() {
  char buffer[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? FromUtf8(std::string(buffer, static_cast<std::size_t>(n))) : std::wstring();
}

std::wstring GetLongPathForm(const std::wstring& path) {
  char* resolved = ::realpath(ToUtf8(path).c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::wstring result = FromUtf8(resolved);
  std::free(resolved);
  return result;
}

bool SetCurrentFolder(const std::wstring& folder) { return ::chdir(ToUtf8(folder).c_str()) == 0; }

std::wstring GetCurrentFolder() {
  char buffer[PATH_MAX] = {};
  return ::getcwd(buffer, sizeof buffer) != nullptr ? FromUtf8(buffer) : std::wstring();
}
