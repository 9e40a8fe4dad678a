#include <process.h>

#include <filesystem>

#include "pack/spawn.h"

namespace osin {

namespace {

// The command-line form of one argument: quoted when it holds blanks or
// quotes, with the backslashes before a quote doubled, as the C runtime
// of the started program splits it again.
std::string Quoted(const std::string& arg) {
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

}  // namespace

int RunProgram(const std::vector<std::string>& args) {
  std::vector<std::string> quoted;
  for (const std::string& a : args) quoted.push_back(Quoted(a));
  // The arguments are UTF-8 (paths of any name): they go out wide.
  std::vector<std::wstring> wide;
  for (const std::string& q : quoted) wide.push_back(std::filesystem::u8path(q).wstring());
  std::vector<const wchar_t*> argv;
  for (const std::wstring& w : wide) argv.push_back(w.c_str());
  argv.push_back(nullptr);
  std::wstring program = std::filesystem::u8path(args[0]).wstring();
  intptr_t status = _wspawnvp(_P_WAIT, program.c_str(), argv.data());
  return status < 0 ? -1 : int(status);
}

void RemoveOnSignal(const char*) {}

}  // namespace osin
