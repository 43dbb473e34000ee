#pragma once
// "Did you mean ...?": the candidates closest to what a person typed, for an unknown
// option or a value a column does not show.

#include <string>
#include <vector>

namespace cli {

// The candidates that differ from `typed` only in case, accents or compatibility forms
// (Unicode's NFKC case folding, through utf8proc), in a leading article ("Wainleaths"
// for "The Wainleaths"), or by a typo or two counted in characters after folding;
// closest first and at most `limit` of them. Bytes that are not UTF-8 count one each.
// The distance is bounded, so long values cost in proportion to their length. The
// Windows build (the stand-in player's ASCII option names) folds ASCII case only.
std::vector<std::string> NearMisses(const std::string& typed, const std::vector<std::string>& candidates,
                                    size_t limit = 3);

// " did you mean "A" or "B"?" for a message, or "" when nothing is near; a candidate
// with a control character in it is shown as PrintablePath shows it.
std::string DidYouMean(const std::vector<std::string>& nearMisses, bool quoted = true);

}  // namespace cli
