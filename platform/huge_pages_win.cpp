#include "library/huge_pages.h"

namespace tunyra {

// Windows gives large pages only to a process holding the lock-pages privilege, which a
// guest in the player's process must not ask for.
void OfferHugePages(void*, size_t) {}

}  // namespace tunyra
