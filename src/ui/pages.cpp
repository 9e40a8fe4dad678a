#include "ui/pages.h"

namespace osin {

int PagePosition(int field, int extent, int size) {
  switch (field) {
    case 0:
      return extent / 16;
    case 1:
      return (extent - size) / 2;
    case 2:
      return extent - extent / 16 - size;
    default:
      return 0;
  }
}

}  // namespace osin
