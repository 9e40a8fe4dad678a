// The RAR 2.0 cipher's initial substitution table.
//
// The format fixes 256 bytes that begin 0xD7 0x13 0x95 0x23 0x49 0xC5 and end
// 0x75 0x70 0x54. They are not in this tree yet, so Rar20InitialSubst() gives
// no table and the cipher refuses to run rather than produce bytes that no
// other RAR tool can read. When the table is added here (a const array of 256
// bytes with a static_assert on its size) and returned, the tests against
// unar in tests/archive and tests/pack prove it.
#pragma once

#include <stdint.h>

namespace osin {

inline const uint8_t* Rar20InitialSubst() {
  return nullptr;
}

}  // namespace osin
