#pragma once
// The end of "Find Songs": the picks handed to the player.

#include "picking/candidate_matching.h"

class HostOperations;

namespace tunyra {

// One clear, the enqueues in pick order, then a start when asked.
void HandOffPlaylist(HostOperations& host, const CandidateList& picks, bool startPlaying);

}  // namespace tunyra
