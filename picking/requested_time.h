#pragma once
// The total time a user may ask for, in whole minutes: the Select Songs dialog's field
// and tunyra-pick's --minutes take the same range.

namespace tunyra {

constexpr int kMinMinutes = 5;
constexpr int kMaxMinutes = 3600;

}  // namespace tunyra
