// What every test program includes: GoogleTest and readable failure output
// for the project's own string types.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

inline void PrintTo(const String& s, std::ostream* os) {
  *os << ::testing::PrintToString(std::string(s.Data(), s.Length()));
}

inline std::string ToStd(const String& s) {
  return std::string(s.Data(), s.Length());
}

}  // namespace osin
