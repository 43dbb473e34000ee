#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picking/playlist_hand_off.h"
#include "host/host_operations.h"
#include "tests/support/test_library.h"

using namespace tunyra;

namespace {

// The host's operations as a list of calls; no windows.
class RecordedOperations : public HostOperations {
 public:
  bool RunLibraryQuery(LibraryQuery&) override {
    calls.push_back("query");
    return false;
  }
  void FreeLibraryResult(LibraryQuery&) override { calls.push_back("free"); }
  void ClearPlaylist() override { calls.push_back("clear"); }
  void Enqueue(const EnqueueRecord& r) override {
    calls.push_back(std::string("enqueue ") + r.filename + " " + r.title + " " + std::to_string(r.length));
    texts.push_back(r.filename);
  }
  void StartPlayback() override { calls.push_back("start"); }

  std::vector<std::string> calls;
  std::vector<const char*> texts;
};

TEST(HandOff, ClearThenEnqueuesInPickOrderThenStartWhenAsked) {
  CandidateList picks;
  picks.Append("b.mp3", "Bee", 240);
  picks.Append("a.mp3", "Ay", 200);
  picks.Append("b.mp3", "Bee", 240);
  const std::vector<std::string> enqueues = {"enqueue b.mp3 Bee 240", "enqueue a.mp3 Ay 200",
                                             "enqueue b.mp3 Bee 240"};
  struct Case {
    const char* name;
    bool withPicks;
    bool start;
  };
  for (const Case& c : {Case{"picks, start", true, true}, Case{"picks, no start", true, false},
                        Case{"no picks, start", false, true}, Case{"no picks, no start", false, false}}) {
    SCOPED_TRACE(c.name);
    RecordedOperations host;
    HandOffPlaylist(host, c.withPicks ? picks : CandidateList{}, c.start);
    std::vector<std::string> expected = {"clear"};
    if (c.withPicks) expected.insert(expected.end(), enqueues.begin(), enqueues.end());
    if (c.start) expected.push_back("start");
    EXPECT_EQ(host.calls, expected);
  }

  RecordedOperations host;
  HandOffPlaylist(host, picks, false);
  ASSERT_EQ(host.texts.size(), 3u);
  EXPECT_EQ(host.texts[1], picks[1].fileName);  // the record points at the pick's own text
}

}  // namespace
