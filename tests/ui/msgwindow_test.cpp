// The minimum display time across the tick counter's wrap.
#include "ui/msgwindow.h"
#include "testing.h"

using namespace osin;

namespace {

TEST(MessageWindow, MinimumTimeAcrossTheCounterWrap) {
  EXPECT_FALSE(MinimumTimeShown(1000, 1749, 750));
  EXPECT_TRUE(MinimumTimeShown(1000, 1750, 750));
  // Shown 100 ms before the 32-bit counter wraps: 650 ms later the count
  // is small, yet the time is not over; 750 ms later it is.
  const uint32_t shownAt = 0xFFFFFFFFu - 99;
  EXPECT_FALSE(MinimumTimeShown(shownAt, 549, 750));
  EXPECT_TRUE(MinimumTimeShown(shownAt, 650, 750));
  EXPECT_TRUE(MinimumTimeShown(5, 5, 0));
}

}  // namespace
