#include "picking/random_source.h"

#include <ctime>

namespace tunyra {

LcgRandomSource LcgRandomSource::SeededFromTime() {
  return LcgRandomSource(static_cast<std::uint32_t>(std::time(nullptr)));
}

}  // namespace tunyra
