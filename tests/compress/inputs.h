// Generated inputs for the compressor's tests: deterministic, no files.
#pragma once

#include <stdint.h>

#include <string>

namespace osin {
namespace testinput {

std::string Random(size_t size, uint32_t seed);
std::string Repetitive(size_t size);           // a short phrase over and over
std::string Text(size_t size, uint32_t seed);  // words, lines, indentation
// Code-like bytes: opcodes from a small set, little-endian addresses that
// grow, zero-padded sections, a string table.
std::string Executable(size_t size, uint32_t seed);
// A PCM WAV file: a wobbling tone with a little noise.
std::string Wave(int channels, int bits, size_t frames, uint32_t seed);

}  // namespace testinput
}  // namespace osin
