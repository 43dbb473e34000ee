#pragma once
// The order of the values the dialog shows: that of the system's ANSI code page, in
// which the host hands over its texts and the lists show them.

#include "library/value_order.h"

namespace tunyra {

// Read from the system on first use; a process keeps its ANSI code page.
const ValueOrder& AnsiValueOrder();

}  // namespace tunyra
