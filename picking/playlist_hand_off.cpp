#include "picking/playlist_hand_off.h"

#include "host/host_operations.h"

namespace tunyra {

void HandOffPlaylist(HostOperations& host, const CandidateList& picks, bool startPlaying) {
  host.ClearPlaylist();
  for (size_t i = 0; i < picks.size(); ++i) {
    // The host copies what it needs during the synchronous call.
    const EnqueueRecord record{picks.fileNames[i], picks.titles[i], picks.lengths[i]};
    host.Enqueue(record);
  }
  if (startPlaying) host.StartPlayback();
}

}  // namespace tunyra
