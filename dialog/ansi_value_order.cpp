#include "dialog/ansi_value_order.h"

#include <windows.h>

namespace tunyra {

const ValueOrder& AnsiValueOrder() {
  static const ValueOrder order = [] {
    ValueOrder read;
    for (int byte = 1; byte < 256; ++byte)
      if (::IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(byte))) read.AddLeadBytes(byte, byte);
    return read;
  }();
  return order;
}

}  // namespace tunyra
