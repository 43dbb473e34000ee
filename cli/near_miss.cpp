#include "cli/near_miss.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>

#include "library/printable_path.h"

#ifdef TUNYRA_UNICODE_FOLDING
#include <utf8proc.h>
#endif

namespace cli {

namespace {

using Folded = std::u32string;

// A byte that is not part of UTF-8 stands as a value beyond Unicode, equal only to itself.
constexpr char32_t kStrayByte = 0x110000;

#ifdef TUNYRA_UNICODE_FOLDING
constexpr auto kFolding = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPAT | UTF8PROC_COMPOSE |
                                                         UTF8PROC_CASEFOLD | UTF8PROC_IGNORE | UTF8PROC_STRIPMARK);

void AppendFolded(Folded& out, const utf8proc_uint8_t* run, utf8proc_ssize_t length) {
  std::vector<utf8proc_int32_t> buffer(static_cast<size_t>(length) + 8);
  utf8proc_ssize_t count = utf8proc_decompose(run, length, buffer.data(), static_cast<utf8proc_ssize_t>(buffer.size()),
                                              kFolding);
  if (count > static_cast<utf8proc_ssize_t>(buffer.size())) {
    buffer.resize(static_cast<size_t>(count));
    count = utf8proc_decompose(run, length, buffer.data(), count, kFolding);
  }
  if (count > 0) count = utf8proc_normalize_utf32(buffer.data(), count, kFolding);
  for (utf8proc_ssize_t i = 0; i < count; ++i) out += static_cast<char32_t>(buffer[static_cast<size_t>(i)]);
}

Folded Fold(std::string_view text) {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  Folded out;
  utf8proc_ssize_t runStart = 0;
  for (utf8proc_ssize_t at = 0; at < size;) {
    utf8proc_int32_t codePoint = 0;
    const utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &codePoint);
    if (length > 0) {
      at += length;
      continue;
    }
    AppendFolded(out, bytes + runStart, at - runStart);
    out += kStrayByte + bytes[at];
    runStart = ++at;
  }
  AppendFolded(out, bytes + runStart, size - runStart);
  return out;
}
#else
Folded Fold(std::string_view text) {
  Folded out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte;
  }
  return out;
}
#endif

// `folded` without a leading "the ", "a " or "an ": the artist column shows "The
// Wainleaths" where a person types "Wainleaths".
Folded WithoutArticle(const Folded& folded) {
  for (const std::u32string_view article : {U"the ", U"a ", U"an "})
    if (folded.size() > article.size() && std::u32string_view(folded).substr(0, article.size()) == article)
      return folded.substr(article.size());
  return folded;
}

// The Levenshtein distance, or bound + 1 when it is larger: only the cells within
// `bound` of the diagonal can stay within it, and a row whose every cell is over ends it.
size_t BoundedDistance(const Folded& a, const Folded& b, size_t bound) {
  const size_t over = bound + 1;
  if (a.size() > b.size() + bound || b.size() > a.size() + bound) return over;
  std::vector<size_t> row(b.size() + 1, over);
  for (size_t j = 0; j <= std::min(b.size(), bound); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    const size_t low = i > bound ? i - bound : 1;
    const size_t high = std::min(b.size(), i + bound);
    size_t diagonal = row[low - 1];
    row[low - 1] = low == 1 && i <= bound ? i : over;
    size_t rowLeast = row[low - 1];
    for (size_t j = low; j <= high; ++j) {
      const size_t above = row[j];
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1), over});
      diagonal = above;
      rowLeast = std::min(rowLeast, row[j]);
    }
    if (rowLeast > bound) return over;
  }
  return row[b.size()];
}

}  // namespace

std::vector<std::string> NearMisses(const std::string& typed, const std::vector<std::string>& candidates,
                                    size_t limit) {
  const Folded folded = Fold(typed);
  const Folded bare = WithoutArticle(folded);
  // A typo or two, fewer for short words: "pop" is not a typo away from "rap".
  const size_t allowed = std::min<size_t>(2, std::max<size_t>(1, folded.size() / 4));
  std::vector<std::pair<size_t, std::string>> near;
  for (const std::string& candidate : candidates) {
    if (candidate == typed) continue;
    const Folded other = Fold(candidate);
    const size_t distance = std::min(BoundedDistance(folded, other, allowed),
                                     BoundedDistance(bare, WithoutArticle(other), allowed));
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
    // A library's value may hold an escape sequence.
    text += quoted ? tunyra::QuotedText(nearMisses[i]) : tunyra::PrintablePath(nearMisses[i]);
  }
  return text + "?";
}

}  // namespace cli
