#pragma once
// "Did you mean ...?": the candidates closest to what a person typed, for an unknown
// option or a value a column does not show.

#include <string>
#include <vector>

namespace cli {

// The candidates that differ from `typed` only in case or accents, or by a typo or two
// (edits counted after folding both), closest first and at most `limit` of them.
std::vector<std::string> NearMisses(const std::string& typed, const std::vector<std::string>& candidates,
                                    size_t limit = 3);

// " did you mean "A" or "B"?" for a message, or "" when nothing is near.
std::string DidYouMean(const std::vector<std::string>& nearMisses, bool quoted = true);

}  // namespace cli
