#include "picking/fill_request.h"

namespace tunyra {

namespace {

const PickLimits kNoLimits;

}  // namespace

const PickLimits& FillRequest::Limits() const {
  return limits ? *limits : kNoLimits;
}

bool TimeToFill(std::int64_t pickableSum, const FillRequest& request, FillResult& result) {
  result.remainingSeconds = result.targetSeconds = request.totalSeconds;
  result.stop = FillStop::TimeUsedUp;
  // With duplicates the sum is never weighed.
  if (request.allowDuplicates || pickableSum >= request.totalSeconds) return true;
  result.cancelled = !request.askShorten || !request.askShorten();
  if (!result.cancelled) result.remainingSeconds = result.targetSeconds = pickableSum;
  return !result.cancelled;
}

const char* NothingPickedText(const CandidateList& candidates) {
  bool known = false;
  for (const Candidate& candidate : candidates) {
    if (!IsPickable(candidate)) continue;
    if (candidate.length > 0) return kTooShortToFillText;
    known = true;
  }
  return known ? kZeroLengthText : kNoKnownLengthText;
}

}  // namespace tunyra
