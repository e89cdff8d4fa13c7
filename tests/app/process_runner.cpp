#include "app/process_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace oxsms::testing {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::filesystem::path& out, const std::filesystem::path& err) {
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!out.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  if (!err.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  const int started = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) throw std::runtime_error("cannot start " + program);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void ChildProcess::Signal(int sig) { kill(pid_, sig); }

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

bool WaitForText(const std::string& file, const std::string& text,
                 std::chrono::milliseconds timeout, int occurrences) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  do {
    const std::string content = ReadFile(file);
    int found = 0;
    for (auto p = content.find(text); p != std::string::npos; p = content.find(text, p + 1)) ++found;
    if (found >= occurrences) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

int RunOxsmsdOnce(const std::string& program, const std::filesystem::path& home,
                  const std::vector<std::string>& extra, const std::string& now,
                  std::chrono::milliseconds limit) {
  std::vector<std::string> args{"--home", home.string(), "--run-now", "--fake-now", now};
  args.insert(args.end(), extra.begin(), extra.end());
  ChildProcess run(program, args);
  return run.Wait(limit);
}

ProgramOutput RunProgram(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds limit) {
  const TempDir files;
  ProgramOutput output;
  {
    ChildProcess child(program, args, files / "out", files / "err");
    output.status = child.Wait(limit);
  }
  output.out = ReadFile(files / "out");
  output.err = ReadFile(files / "err");
  return output;
}

std::string ActivityLogOf(const std::filesystem::path& home) { return ReadFile(home / "sms.log"); }

}  // namespace oxsms::testing
