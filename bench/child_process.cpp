#include "child_process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace oxsms::bench {

void RunSelf(const std::vector<std::string>& arguments) {
  const std::string program = "/proc/self/exe";
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (spawned != 0) {
    throw std::runtime_error("cannot start a child process: " + std::string(std::strerror(spawned)));
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed: " + std::string(std::strerror(errno)));
  }
  const std::string what = arguments.size() > 1 ? arguments[1] : "child";
  if (WIFSIGNALED(status)) {
    throw std::runtime_error("the " + what + " process ended by signal " +
                             std::to_string(WTERMSIG(status)));
  }
  if (WEXITSTATUS(status) != 0) {
    throw std::runtime_error("the " + what + " process failed with status " +
                             std::to_string(WEXITSTATUS(status)));
  }
}

}  // namespace oxsms::bench
