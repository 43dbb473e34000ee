#include "picking/playlist_hand_off.h"

#include "host/host_operations.h"

namespace tunyra {

void HandOffPlaylist(HostOperations& host, const CandidateList& picks, bool startPlaying) {
  host.ClearPlaylist();
  for (const Candidate& pick : picks) {
    // The host copies what it needs during the synchronous call.
    const EnqueueRecord record{pick.fileName, pick.title, pick.length};
    host.Enqueue(record);
  }
  if (startPlaying) host.StartPlayback();
}

}  // namespace tunyra
