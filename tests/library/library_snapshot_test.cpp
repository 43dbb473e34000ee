#include "library/library_snapshot.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "host/host_operations.h"
#include "library/item_records.h"
#include "tests/support/record_text.h"
#include "tests/support/test_library.h"

using namespace tunyra;

namespace {

using Values = std::vector<std::string>;

// A song of the given artist, title, album and genre; null pointers stand for null fields.
Song Of(const char* artist, const char* title, const char* album, const char* genre) {
  return Song{"x.mp3", title, album, artist, genre, 200};
}

TEST(LibrarySnapshot, ArticleMovesToTheEndForSortingAndBackForDisplay) {
  struct Case {
    const char* artist;
    const char* stored;
    const char* shown;
  };
  const Case cases[] = {
      {"The Beatles", "Beatles, The", "The Beatles"},
      {"the Beatles", "Beatles, The", "The Beatles"},
      {"THE WHO", "WHO, The", "The WHO"},
      {"tHe x", "x, The", "The x"},
      {"The ", ", The", "The "},
      {"Theatre", "Theatre", "Theatre"},
      {"The", "The", "The"},
      {"Thelonious Monk", "Thelonious Monk", "Thelonious Monk"},
      {"Th", "Th", "Th"},
      {"", "", ""},
      {"Beatles, The", "Beatles, The", "The Beatles"},
      {"Who, the", "Who, the", "The Who"},
      {"X, THE", "X, THE", "The X"},
      {", th", ", th", ", th"},
      {"Them, the end", "Them, the end", "Them, the end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.artist);
    EXPECT_EQ(MoveArticleToEnd(c.artist), c.stored);
    EXPECT_EQ(MoveArticleToFront(c.stored), c.shown);
  }
}

TEST(LibrarySnapshot, EmptyAndNullFieldsGetPlaceholders) {
  TestLibrary host({Of("", "", "", ""), Of(nullptr, nullptr, nullptr, nullptr)});
  LibrarySnapshot snapshot;
  snapshot.Rebuild(host.List());
  EXPECT_EQ(snapshot.DisplayValues(kKindArtist), Values{"(no artist)"});
  EXPECT_EQ(snapshot.DisplayValues(kKindTitle), Values{"(no title)"});
  EXPECT_EQ(snapshot.DisplayValues(kKindAlbum), Values{"(no album)"});
  EXPECT_EQ(snapshot.DisplayValues(kKindGenre), Values{"(no genre)"});
  // The copies keep the host's text: null stays null, "" stays "".
  ASSERT_EQ(snapshot.Records().size(), 2u);
  EXPECT_STREQ(snapshot.Records()[0].artist, "");
  EXPECT_EQ(snapshot.Records()[1].artist, nullptr);
  for (int kind : {-1, 4, 100}) {
    SCOPED_TRACE(kind);
    EXPECT_TRUE(snapshot.DisplayValues(kind).empty());
    EXPECT_EQ(snapshot.SetOfKind(kind), nullptr);
    EXPECT_EQ(SetValueOf(snapshot.Records()[0], kind), "");
  }
}

TEST(LibrarySnapshot, SetsHoldDistinctValuesInByteOrder) {
  TestLibrary host({Of("The Beatles", "Help", "Help!", "Rock"),
                    Of("the Beatles", "help", "Help!", "rock"),
                    Of("Beatles, The", "Help", "Abbey Road", "Rock"),
                    Of("Beatles", "Yesterday", "", "Pop"),
                    Of("Thelonious Monk", "Help", "Abbey Road", "Jazz")});
  LibrarySnapshot snapshot;
  snapshot.Rebuild(host.List());
  EXPECT_EQ(snapshot.SetOfKind(kKindArtist)->Values(),
            (std::vector<std::string_view>{"Beatles", "Beatles, The", "Thelonious Monk"}));
  EXPECT_EQ(snapshot.DisplayValues(kKindArtist),
            (Values{"Beatles", "The Beatles", "Thelonious Monk"}));
  EXPECT_EQ(snapshot.DisplayValues(kKindTitle), (Values{"Help", "Yesterday", "help"}));
  EXPECT_EQ(snapshot.DisplayValues(kKindAlbum), (Values{"(no album)", "Abbey Road", "Help!"}));
  EXPECT_EQ(snapshot.DisplayValues(kKindGenre), (Values{"Jazz", "Pop", "Rock", "rock"}));
  EXPECT_STREQ(snapshot.Records()[0].artist, "The Beatles");
}

TEST(LibrarySnapshot, BulkRebuildMatchesOneAddPerItem) {
  const char* const artists[] = {"The A", "the a", "A, The", "A", "THE B", "Theo", "",
                                 "\xC9" "dith", "the ", "b", nullptr};
  const char* const others[] = {"x", "X", "", "y", "\xE9", "z z", "The x", nullptr};
  std::mt19937 random(7);
  std::vector<Song> songs;
  for (int i = 0; i < 2000; ++i)
    songs.push_back({"x.mp3", others[random() % std::size(others)], others[random() % std::size(others)],
                     artists[random() % std::size(artists)], others[random() % std::size(others)], 200});
  TestLibrary host(songs);

  LibrarySnapshot snapshot;
  snapshot.Rebuild(host.List());
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(kind);
    CSortedNameSet expected;
    for (int i = 0; i < host.List().size; ++i) expected.Add(SetValueOf(host.List().items[i], kind));
    EXPECT_EQ(snapshot.SetOfKind(kind)->Values(), expected.Values());
  }
}

TEST(LibrarySnapshot, RebuildKeepsOnlyTheLastLibraryAndReleaseEmptiesAll) {
  TestLibrary first({Of("Gone", "Old", "Old", "Old"), Of("Gone", "Older", "Old", "Old")});
  TestLibrary second({Of("Here", "New", "New", "New")});
  LibrarySnapshot snapshot;
  snapshot.Rebuild(first.List());
  snapshot.Rebuild(second.List());
  ASSERT_EQ(snapshot.Records().size(), 1u);
  EXPECT_STREQ(snapshot.Records()[0].title, "New");
  EXPECT_EQ(snapshot.DisplayValues(kKindArtist), Values{"Here"});

  snapshot.Release();
  EXPECT_EQ(snapshot.Records().data(), nullptr);
  EXPECT_EQ(snapshot.Records().size(), 0u);
  for (int kind = 0; kind < 4; ++kind) EXPECT_EQ(snapshot.SetOfKind(kind)->GetSize(), 0);
}

// The copies the snapshot rebuilds from may be its own: they go only after the new ones
// are made.
TEST(LibrarySnapshot, RebuildFromItsOwnCopies) {
  TestLibrary host({Of("The A", "One", "X", "Rock"), Of("B", nullptr, "Y", "Pop"), Of(nullptr, "Three", "", "Jazz")});
  char rating[] = "rating\0" "5";
  char* extended[] = {rating, nullptr};
  host.List().items[0].extendedInfo = extended;
  LibrarySnapshot snapshot;
  snapshot.Rebuild(host.List());
  snapshot.Rebuild(snapshot.Records());
  ASSERT_EQ(snapshot.Records().size(), 3u);
  EXPECT_STREQ(GetExtendedInfo(snapshot.Records()[0], "Rating"), "5");
  EXPECT_EQ(snapshot.Records()[1].title, nullptr);
  EXPECT_STREQ(snapshot.Records()[2].title, "Three");
  EXPECT_EQ(snapshot.DisplayValues(kKindTitle), (Values{"(no title)", "One", "Three"}));
}

// A host whose Media Library answers with a prepared result and records the calls.
class FakeHost : public HostOperations {
 public:
  bool hasLibrary = true;
  ItemRecordList result{nullptr, 0, 0};
  int runs = 0;
  int frees = 0;
  LibraryQuery* runQuery = nullptr;
  LibraryQuery* freedQuery = nullptr;
  std::string queryText;
  int maxResults = -1;

  bool RunLibraryQuery(LibraryQuery& query) override {
    ++runs;
    runQuery = &query;
    queryText = query.query ? query.query : "(null)";
    maxResults = query.maxResults;
    if (!hasLibrary) return false;
    query.results = result;
    return true;
  }
  void FreeLibraryResult(LibraryQuery& query) override {
    ++frees;
    freedQuery = &query;
    ReleaseItemRecordList(query.results);
    result = ItemRecordList{nullptr, 0, 0};
  }
  void ClearPlaylist() override {}
  void Enqueue(const EnqueueRecord&) override {}
  void StartPlayback() override {}
};

TEST(LibrarySnapshot, LoadCopiesTheQueryResultAndHandsItBack) {
  FakeHost host;
  TestLibrary songs({Of("The Band", "Weight", "Big Pink", "Rock"), Of("Low", "Words", "", "")});
  AppendItemRecords(host.result, songs.List());

  LibrarySnapshot snapshot;
  snapshot.Load(host);
  EXPECT_EQ(host.runs, 1);
  EXPECT_EQ(host.queryText, "type==0");
  EXPECT_EQ(host.maxResults, 0);
  EXPECT_EQ(host.frees, 1);
  EXPECT_EQ(host.freedQuery, host.runQuery);
  // The copies outlive the host's result, which the fake has already freed.
  ASSERT_EQ(snapshot.Records().size(), 2u);
  EXPECT_STREQ(snapshot.Records()[0].title, "Weight");
  EXPECT_STREQ(snapshot.Records()[1].artist, "Low");
  EXPECT_EQ(snapshot.DisplayValues(kKindArtist), (Values{"The Band", "Low"}));
  EXPECT_EQ(snapshot.DisplayValues(kKindGenre), (Values{"(no genre)", "Rock"}));
}

TEST(LibrarySnapshot, LoadOfAnEmptyLibraryLeavesAnEmptySnapshot) {
  struct Case {
    const char* label;
    bool hasLibrary;
    bool storage;  // the library answers with an allocated but empty list
    int frees;
  };
  const Case cases[] = {
      {"no Media Library window", false, false, 0},
      {"no items, no storage", true, false, 0},
      // The result's storage is handed back even without items, or it would leak.
      {"no items, storage allocated", true, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TestLibrary earlier({Of("Old", "Old", "Old", "Old")});
    LibrarySnapshot snapshot;
    snapshot.Rebuild(earlier.List());

    FakeHost host;
    host.hasLibrary = c.hasLibrary;
    if (c.storage) ReserveItemRecords(host.result, 0, 4);
    snapshot.Load(host);
    EXPECT_EQ(host.frees, c.frees);
    EXPECT_EQ(snapshot.Records().size(), 0u);
    for (int kind = 0; kind < 4; ++kind) EXPECT_TRUE(snapshot.DisplayValues(kind).empty());
    ReleaseItemRecordList(host.result);
  }
}

}  // namespace
