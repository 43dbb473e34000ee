#pragma once
// The dialog's line of options: the fit, the shortest and longest length, songs per
// artist, the spread and the excluded values. One item is chosen at a time (Left,
// Right); Space or Enter changes it, or asks for a number in the prompt.

#include <cstdint>
#include <optional>
#include <string>

#include "tools/tunyra_pick/pick_options.h"

namespace tunyra {

// A length as --min-length takes it: seconds, M:SS or H:MM:SS.
std::optional<std::int32_t> ParseLength(const std::string& text);

class OptionsPanel {
 public:
  static constexpr int kItems = 6;

  // The line at row `y`; the chosen item stands out while the panel has the focus.
  void Draw(int y, const PickOptions& settings, bool focused) const;
  // Left (-1) or Right (+1), round the end.
  void Move(int step) { m_item = (m_item + step + kItems) % kItems; }
  // Changes the chosen item; for one that is typed, returns the prompt's label (else
  // ""). What the user should be told goes to `said`.
  std::string Activate(PickOptions& settings, std::string& said);
  // The prompt's text for the item Activate asked about, put into `settings`; a refusal
  // to show, or "".
  std::string Apply(const std::string& text, PickOptions& settings) const;

 private:
  int m_item = 0;
  int m_typedItem = 0;
};

}  // namespace tunyra
