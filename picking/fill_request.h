#pragma once
// What either fill (time_fill.h, exact_fit.h) is asked and what it gives back: the
// request, the result and why it stopped, the too-short question both ask the same way,
// and the texts of a fill that picked nothing.

#include <cstdint>
#include <functional>
#include <vector>

#include "picking/candidate_matching.h"
#include "picking/pick_limits.h"
#include "picking/requested_time.h"

namespace tunyra {

constexpr const char* kTooShortQuestion =
    "The total length of matching files is less than\nthe total time selected.\n"
    "Click \"OK\" to reduce the total time, or \"Cancel\"\nto adjust the criteria.";

// A fill that picked nothing: the player's playlist is left alone and the user told why.
constexpr const char* kNoKnownLengthText = "None of the matching files has a known length.";
constexpr const char* kZeroLengthText = "The total length of matching files is 0 seconds.";
// Their lengths add up to something, but average under a second: the fill, which
// steps by the average length, cannot start.
constexpr const char* kTooShortToFillText =
    "The matching files are too short to fill the time:\non average they are under a second long.";

// Why the pick loop stopped.
enum class FillStop {
  TimeUsedUp,         // remaining time reached 0 or below (also: nothing to fill)
  NoUnusedCandidate,  // no candidate left that may be picked
  NoClosestFit,       // a closest-fit pass found nothing within 5 x the average
  NoProgress,         // duplicates on and the closest fit chose a length of 0
  ZeroAverage,        // the average length is 0 while time remains
  // Under an artist limit, NoUnusedCandidate or NoClosestFit but for the limit: a song
  // the limit kept out (its artist had its most picks, or taking it would have left
  // the time out of reach) would have been picked.
  ArtistLimit,
  // Only the exact fit (exact_fit.h) ends with these:
  NoExactTotal,  // no playlist makes the time exactly; this one is as close as any
  SearchCut,     // the search for a closer total hit its bound; see FitExactly
};

struct FillResult {
  bool cancelled = false;  // the too-short question was answered Cancel
  CandidateList picks;     // in pick order
  std::vector<std::uint32_t> indices;  // the candidate index of each pick
  FillStop stop = FillStop::TimeUsedUp;
  std::int64_t remainingSeconds = 0;  // after the last pick
  std::int64_t targetSeconds = 0;     // the time filled (shortened on OK)
};

// Answers the too-short question: true for OK, false for Cancel.
using ShortenQuestion = std::function<bool()>;

// Whether a candidate may be picked at all: its length is known.
inline bool IsPickable(const Candidate& candidate) { return candidate.length >= 0; }

// What a fill is asked for; the candidates and the random source come beside it.
struct FillRequest {
  std::int32_t totalSeconds = 0;
  bool allowDuplicates = false;
  // The too-short question (see TimeToFill); none: Cancel.
  ShortenQuestion askShorten = nullptr;
  // The limits the playlist keeps; none: no limit.
  const PickLimits* limits = nullptr;

  const PickLimits& Limits() const;  // no limit when none are given
};

// Starts `result` on the time to fill. With duplicates off and the pickable lengths
// summing to less than the time asked for (`pickableSum`: under limits,
// LimitedPickableSum), asks the too-short question: OK fills their sum, Cancel (or no
// question to ask) cancels the fill and gives false.
bool TimeToFill(std::int64_t pickableSum, const FillRequest& request, FillResult& result);

// Why a fill from these candidates picked nothing: kNoKnownLengthText when no entry has a
// known (non-negative) length, kZeroLengthText when those lengths are all 0, else
// kTooShortToFillText.
const char* NothingPickedText(const CandidateList& candidates);

}  // namespace tunyra
