#pragma once
// "Find Songs", second half: fill the requested time from the candidates (at random
// while much time remains, closest fit near the end). The fill loop is FillTimeWith
// in time_fill.cpp.

#include "picking/fill_request.h"
#include "picking/random_source.h"

namespace tunyra {

// The candidates are only read: used entries are tracked on the side. Entries of
// negative (unknown) length are never picked and count in neither the too-short sum nor
// the average. The picks point at the candidates' texts. The same picks from either
// overload; the generator's own draws without a call.
//
// Under limits a candidate whose artist has its most picks is unavailable as a used one
// is, to the random part and the closest fit alike, and the too-short question weighs
// LimitedPickableSum. While the time is within what the songs the limit allows can make
// (always so without duplicates, after the question), neither part picks a song that
// would put it out of reach: only a closest fit that finds nothing near enough ends it
// short, and a shortened time is made of exactly each artist's longest songs. Limits
// that limit nothing give the picks of no limits.
FillResult FillTime(const CandidateList& candidates, const FillRequest& request, LcgRandomSource& random);
FillResult FillTime(const CandidateList& candidates, const FillRequest& request, RandomSource& random);

}  // namespace tunyra
