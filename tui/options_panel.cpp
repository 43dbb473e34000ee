#include "tui/options_panel.h"

#include <climits>
#include <cstdlib>

#include "tui/cell_text.h"

namespace tunyra {

namespace {

constexpr int kShortest = 1, kLongest = 2, kPerArtist = 3;

}  // namespace

std::optional<std::int32_t> ParseLength(const std::string& text) {
  long long total = 0, part = -1;
  int colons = 0;
  for (char ch : text) {
    if (ch >= '0' && ch <= '9') {
      part = (part < 0 ? 0 : part) * 10 + (ch - '0');
      if (part > INT32_MAX) return std::nullopt;
    } else if (ch == ':' && part >= 0 && ++colons <= 2) {
      total = total * 60 + part;
      part = -1;
    } else {
      return std::nullopt;
    }
  }
  if (part < 0 || (colons > 0 && part >= 60)) return std::nullopt;
  total = total * 60 + part;
  if (total > INT32_MAX) return std::nullopt;
  return std::int32_t(total);
}

void OptionsPanel::Draw(int y, const PickOptions& settings, bool focused) const {
  const std::string items[kItems] = {
      std::string("Fit: ") + (settings.fit == PickFit::Exact ? "exact" : "usual"),
      "Shortest: " + (settings.minLength ? settings.minLengthText : std::string("any")),
      "Longest: " + (settings.maxLength ? settings.maxLengthText : std::string("any")),
      "Per artist: " + (settings.maxPerArtist ? std::to_string(settings.maxPerArtist) : std::string("any")),
      std::string("Spread: ") + (settings.spread ? "on" : "off"),
      "Excluded: " + std::to_string(settings.excludes.size()),
  };
  int x = 0;
  Put(y, 0, COLS, "");
  Put(y, x, 9, "Options:", A_BOLD, kPairTitle);
  x += 9;
  for (int i = 0; i < kItems; ++i) {
    const bool chosen = focused && m_item == i;
    const int w = int(Wide(items[i]).size()) + 2;
    if (x + w > COLS) break;
    Put(y, x, w, items[i], chosen ? A_REVERSE : A_NORMAL, chosen ? kPairFocus : 0);
    x += w;
  }
}

std::string OptionsPanel::Activate(PickOptions& settings, std::string& said) {
  switch (m_item) {
    case 0: settings.fit = settings.fit == PickFit::Exact ? PickFit::Usual : PickFit::Exact; break;
    case kShortest: case kLongest: case kPerArtist:
      m_typedItem = m_item;
      return m_item == kPerArtist ? "Songs per artist (0 for any): "
             : m_item == kShortest ? "Shortest length (seconds or M:SS, empty for any): "
                                   : "Longest length (seconds or M:SS, empty for any): ";
    case 4: settings.spread = !settings.spread; break;
    case 5:
      settings.excludes.clear();
      said = "No value is excluded.";
      break;
  }
  return "";
}

std::string OptionsPanel::Apply(const std::string& text, PickOptions& settings) const {
  if (m_typedItem == kPerArtist) {
    char* end = nullptr;
    const unsigned long limit = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || limit > 1000000) return "Songs per artist: a whole number, 0 for any.";
    settings.maxPerArtist = std::uint32_t(limit);
    return "";
  }
  std::optional<std::int32_t>& length = m_typedItem == kShortest ? settings.minLength : settings.maxLength;
  std::string& lengthText = m_typedItem == kShortest ? settings.minLengthText : settings.maxLengthText;
  if (text.empty()) {
    length.reset();
  } else if (auto seconds = ParseLength(text)) {
    length = *seconds;
    lengthText = text;
  } else {
    return "A length is seconds, M:SS or H:MM:SS.";
  }
  return "";
}

}  // namespace tunyra
