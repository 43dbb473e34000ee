#include "cli/near_miss.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace cli {

namespace {

// Lower case, and the accented Latin letters of U+00C0..U+00FF (two bytes in UTF-8)
// as their base letter: "Énergie" and "energie" fold alike.
std::string Fold(const std::string& text) {
  static const char kBase[] = "aaaaaaaceeeeiiiidnooooo*ouuuuyts"  // U+00C0..U+00DF
                              "aaaaaaaceeeeiiiidnooooo/ouuuuyty";  // U+00E0..U+00FF
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0xC3 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0xBF) {
        out += kBase[next - 0x80];
        ++i;
        continue;
      }
    }
    out += static_cast<char>(std::tolower(c));
  }
  return out;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::vector<std::string> NearMisses(const std::string& typed, const std::vector<std::string>& candidates,
                                    size_t limit) {
  const std::string folded = Fold(typed);
  // A typo or two, fewer for short words: "pop" is not a typo away from "rap".
  const size_t allowed = std::min<size_t>(2, std::max<size_t>(1, folded.size() / 4));
  std::vector<std::pair<size_t, std::string>> near;
  for (const std::string& candidate : candidates) {
    if (candidate == typed) continue;
    const std::string other = Fold(candidate);
    if (other.size() + allowed < folded.size() || folded.size() + allowed < other.size()) continue;
    const size_t distance = EditDistance(folded, other);
    if (distance <= allowed) near.emplace_back(distance, candidate);
  }
  std::stable_sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (size_t i = 0; i < near.size() && i < limit; ++i) out.push_back(near[i].second);
  return out;
}

std::string DidYouMean(const std::vector<std::string>& nearMisses, bool quoted) {
  if (nearMisses.empty()) return "";
  std::string text = " did you mean ";
  for (size_t i = 0; i < nearMisses.size(); ++i) {
    if (i > 0) text += i + 1 == nearMisses.size() ? " or " : ", ";
    text += quoted ? "\"" + nearMisses[i] + "\"" : nearMisses[i];
  }
  return text + "?";
}

}  // namespace cli
