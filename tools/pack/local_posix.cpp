#include <stdarg.h>

#include "pack/local.h"
#include "platform/file.h"

namespace osin {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0), argv + argc);
}

std::filesystem::path ProgramPath() {
  String self = ProgramFile();
  return self.IsEmpty() ? std::filesystem::path() : std::filesystem::path(self.c_str());
}

bool SystemSpells(const std::filesystem::path& path, std::string& spelled) {
  spelled = path.string();
  return true;
}

std::string ShortFormOf(const std::filesystem::path&) {
  return std::string();
}

void Print(FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(stream, format, args);
  va_end(args);
}

}  // namespace osin
