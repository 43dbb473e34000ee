#include "library/library_snapshot.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "library/item_records.h"
#include "host/host_operations.h"

using namespace tunyra;

namespace {

using Values = std::vector<std::string>;

// Songs described by their four set fields; null pointers stand for null fields.
struct Song {
  const char* artist;
  const char* title;
  const char* album;
  const char* genre;
};

// A host-side item list built from songs (owned, released on destruction).
class HostLibrary {
 public:
  explicit HostLibrary(const std::vector<Song>& songs) {
    std::vector<ItemRecord> items;
    for (const Song& s : songs) {
      ItemRecord r{};
      r.filename = const_cast<char*>("x.mp3");
      r.artist = const_cast<char*>(s.artist);
      r.title = const_cast<char*>(s.title);
      r.album = const_cast<char*>(s.album);
      r.genre = const_cast<char*>(s.genre);
      r.length = 200;
      items.push_back(r);
    }
    AppendItemRecords(m_list, ItemRecordList{items.data(), int(items.size()), int(items.size())});
  }
  ~HostLibrary() { ReleaseItemRecordList(m_list); }
  ItemRecordList& list() { return m_list; }

 private:
  ItemRecordList m_list{nullptr, 0, 0};
};

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
  HostLibrary host({{"", "", "", ""}, {nullptr, nullptr, nullptr, nullptr}});
  LibrarySnapshot snapshot;
  snapshot.Rebuild(host.list());
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
  HostLibrary host({{"The Beatles", "Help", "Help!", "Rock"},
                    {"the Beatles", "help", "Help!", "rock"},
                    {"Beatles, The", "Help", "Abbey Road", "Rock"},
                    {"Beatles", "Yesterday", "", "Pop"},
                    {"Thelonious Monk", "Help", "Abbey Road", "Jazz"}});
  LibrarySnapshot snapshot;
  snapshot.Rebuild(host.list());
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
    songs.push_back({artists[random() % std::size(artists)], others[random() % std::size(others)],
                     others[random() % std::size(others)], others[random() % std::size(others)]});
  HostLibrary host(songs);

  LibrarySnapshot snapshot;
  snapshot.Rebuild(host.list());
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(kind);
    CSortedNameSet expected;
    for (int i = 0; i < host.list().size; ++i) expected.Add(SetValueOf(host.list().items[i], kind));
    EXPECT_EQ(snapshot.SetOfKind(kind)->Values(), expected.Values());
  }
}

TEST(LibrarySnapshot, RebuildKeepsOnlyTheLastLibraryAndReleaseEmptiesAll) {
  HostLibrary first({{"Gone", "Old", "Old", "Old"}, {"Gone", "Older", "Old", "Old"}});
  HostLibrary second({{"Here", "New", "New", "New"}});
  LibrarySnapshot snapshot;
  snapshot.Rebuild(first.list());
  snapshot.Rebuild(second.list());
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
  HostLibrary host({{"The A", "One", "X", "Rock"}, {"B", nullptr, "Y", "Pop"}, {nullptr, "Three", "", "Jazz"}});
  PutExtendedInfo(host.list().items[0], "rating", "5");
  LibrarySnapshot snapshot;
  snapshot.Rebuild(host.list());
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
  HostLibrary songs({{"The Band", "Weight", "Big Pink", "Rock"}, {"Low", "Words", "", ""}});
  AppendItemRecords(host.result, songs.list());

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
    HostLibrary earlier({{"Old", "Old", "Old", "Old"}});
    LibrarySnapshot snapshot;
    snapshot.Rebuild(earlier.list());

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
