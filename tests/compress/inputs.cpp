#include "inputs.h"

#include <cmath>

namespace osin {
namespace testinput {

namespace {

struct Lcg {
  uint32_t state;
  uint32_t Next() { return state = state * 1664525u + 1013904223u; }
  uint32_t Below(uint32_t n) { return (Next() >> 8) % n; }
};

void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}

void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

}  // namespace

std::string Random(size_t size, uint32_t seed) {
  Lcg g{seed};
  std::string s(size, 0);
  for (char& c : s) c = static_cast<char>(g.Next() >> 24);
  return s;
}

std::string Repetitive(size_t size) {
  static const char kPhrase[] = "setup installs the files; ";
  std::string s;
  while (s.size() < size) s += kPhrase;
  s.resize(size);
  return s;
}

std::string Text(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"the",      "file",  "folder",   "install", "version", "registry",
                                       "key",      "value", "page",     "window",  "return",  "template",
                                       "typename", "const", "iterator", "size_t",  "if",      "else",
                                       "while",    "{",     "}"};
  Lcg g{seed};
  std::string s;
  while (s.size() < size) {
    s.append(g.Below(4) * 2, ' ');
    int words = 1 + g.Below(12);
    for (int w = 0; w < words; ++w) {
      s += kWords[g.Below(sizeof(kWords) / sizeof(kWords[0]))];
      s += w + 1 < words ? ' ' : '\n';
    }
  }
  s.resize(size);
  return s;
}

std::string Executable(size_t size, uint32_t seed) {
  static const uint8_t kOps[] = {0x48, 0x89, 0x8B, 0xE8, 0xFF, 0x15, 0x83, 0xC4, 0x0F, 0x85, 0xC3, 0x90};
  Lcg g{seed};
  std::string s;
  uint32_t address = 0x401000;
  while (s.size() < size) {
    switch (g.Below(5)) {
      case 0:
        s.append(64 + g.Below(512), '\0');
        break;
      case 1:
        for (int k = 0; k < 32; ++k) {
          Put32(s, address);
          address += 4 + g.Below(64);
        }
        break;
      case 2:
        s.append("GetProcAddress\0LoadLibraryA\0CreateFileA\0", 40);
        break;
      default:
        for (int k = 0; k < 200; ++k)
          s += static_cast<char>(kOps[g.Below(sizeof(kOps))] ^ (g.Below(8) == 0 ? g.Next() >> 24 : 0));
    }
  }
  s.resize(size);
  return s;
}

std::string Wave(int channels, int bits, size_t frames, uint32_t seed) {
  Lcg g{seed};
  std::string data;
  for (size_t i = 0; i < frames; ++i) {
    double t = i / 22050.0;
    for (int c = 0; c < channels; ++c) {
      double f = 220.0 * (1 + c) * (1 + 0.3 * std::sin(2 * M_PI * 0.5 * t));
      double v = 0.6 * std::sin(2 * M_PI * f * t) + 0.02 * ((g.Next() >> 8) / 16777216.0 - 0.5);
      if (bits == 8) {
        data += static_cast<char>(static_cast<int>(128 + 120 * v));
      } else {
        Put16(data, static_cast<uint16_t>(static_cast<int16_t>(30000 * v)));
      }
    }
  }
  int block = channels * bits / 8;
  std::string s = "RIFF";
  Put32(s, static_cast<uint32_t>(36 + data.size()));
  s += "WAVEfmt ";
  Put32(s, 16);
  Put16(s, 1);
  Put16(s, channels);
  Put32(s, 22050);
  Put32(s, 22050 * block);
  Put16(s, block);
  Put16(s, bits);
  s += "data";
  Put32(s, static_cast<uint32_t>(data.size()));
  return s + data;
}

}  // namespace testinput
}  // namespace osin
