// Running a command line from a native test, as a user would in a shell.
#pragma once

#include <stdio.h>
#include <sys/wait.h>

#include <string>

namespace osin {

struct CommandResult {
  int status;       // the exit status, -1 when the command did not exit
  std::string out;  // standard output and error together
};

// Runs Command with the working folder Folder.
inline CommandResult RunCommandIn(const std::string& folder, const std::string& command) {
  CommandResult r{0, ""};
  FILE* p = popen(("cd '" + folder + "' && " + command + " 2>&1").c_str(), "r");
  if (!p) return CommandResult{-1, "cannot start: " + command};
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), p)) > 0) r.out.append(buf, n);
  int rc = pclose(p);
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return r;
}

}  // namespace osin
