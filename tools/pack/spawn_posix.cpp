#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pack/spawn.h"

extern char** environ;

namespace osin {

int RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

char g_removePath[PATH_MAX];
volatile sig_atomic_t g_removePending = 0;

void RemoveAndStop(int signalNumber) {
  if (g_removePending) unlink(g_removePath);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

void RemoveOnSignal(const char* path) {
  g_removePending = 0;
  if (!path || strlen(path) >= sizeof(g_removePath)) return;
  strcpy(g_removePath, path);
  static bool installed = false;
  if (!installed) {
    // A signal the caller ignores (nohup, a background job) stays ignored.
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ})
      if (signal(s, RemoveAndStop) == SIG_IGN) signal(s, SIG_IGN);
    installed = true;
  }
  g_removePending = 1;
}

}  // namespace osin
