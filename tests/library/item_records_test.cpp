#include "library/item_records.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "library/pooled_records.h"
#include "tests/support/record_text.h"

using namespace tunyra;

namespace {

// An extended-information array as the host builds it: "name\0value\0" blocks.
class HostExtended {
 public:
  HostExtended(std::initializer_list<std::pair<std::string, std::string>> entries) {
    for (const auto& [name, value] : entries) m_blocks.push_back(name + '\0' + value + '\0');
    for (std::string& block : m_blocks) m_pointers.push_back(block.data());
    m_pointers.push_back(nullptr);
  }
  char** get() { return m_pointers.data(); }
  void Add(const std::string& name, const std::string& value) {
    m_blocks.push_back(name + '\0' + value + '\0');
    m_pointers.clear();
    for (std::string& block : m_blocks) m_pointers.push_back(block.data());
    m_pointers.push_back(nullptr);
  }

 private:
  std::vector<std::string> m_blocks;
  std::vector<char*> m_pointers;
};

ItemRecord HostRecord(char* filename, char* title, char** extended = nullptr) {
  ItemRecord record{};
  record.filename = filename;
  record.title = title;
  record.year = 1999;
  record.track = 7;
  record.length = -1;
  record.extendedInfo = extended;
  return record;
}

TEST(ItemRecords, DuplicateMakesIndependentCopiesAndKeepsNullFields) {
  char filename[] = "C:\\Music\\a.mp3";
  char title[] = "Song";
  HostExtended extended{{"rating", "5"}};
  ItemRecord source = HostRecord(filename, title, extended.get());

  ItemRecord copy;
  std::memset(&copy, 0xCD, sizeof copy);  // the destination's old contents are ignored
  DuplicateItemRecord(copy, source);
  filename[0] = 'D';
  title[0] = 'X';

  EXPECT_STREQ(copy.filename, "C:\\Music\\a.mp3");
  EXPECT_STREQ(copy.title, "Song");
  EXPECT_EQ(copy.album, nullptr);
  EXPECT_EQ(copy.artist, nullptr);
  EXPECT_EQ(copy.comment, nullptr);
  EXPECT_EQ(copy.genre, nullptr);
  EXPECT_EQ(copy.year, 1999);
  EXPECT_EQ(copy.track, 7);
  EXPECT_EQ(copy.length, -1);
  ASSERT_NE(copy.extendedInfo, extended.get());
  EXPECT_EQ(ExtendedOf(copy), (ExtendedPairs{{"rating", "5"}}));

  ReleaseItemRecord(copy);
  EXPECT_EQ(DescribeRecord(copy), DescribeRecord(ItemRecord{}));
  ReleaseItemRecord(copy);  // a released record releases again harmlessly
}

TEST(ItemRecords, DuplicateMergesExtendedNamesIgnoringCaseAndDropsEmptyNames) {
  struct Case {
    const char* label;
    HostExtended source;
    ExtendedPairs expected;
  };
  Case cases[] = {
      {"repeat in other case replaces in place",
       {{"rating", "5"}, {"BPM", "120"}, {"RATING", "3"}},
       {{"RATING", "3"}, {"BPM", "120"}}},
      {"empty name dropped", {{"", "lost"}, {"mood", "calm"}}, {{"mood", "calm"}}},
      {"empty value kept", {{"note", ""}}, {{"note", ""}}},
      {"only empty names", {{"", "a"}, {"", "b"}}, {}},
      {"non-ASCII bytes compare exactly", {{"\xC9t\xE9", "1"}, {"\xE9t\xE9", "2"}},
       {{"\xC9t\xE9", "1"}, {"\xE9t\xE9", "2"}}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.label);
    ItemRecord source = HostRecord(nullptr, nullptr, c.source.get());
    ItemRecord copy;
    DuplicateItemRecord(copy, source);
    EXPECT_EQ(ExtendedOf(copy), c.expected);
    ReleaseItemRecord(copy);
  }

  // Items with many names are merged through a hash table: the same result as putting
  // the entries one by one.
  for (int names : {17, 40, 1000}) {
    SCOPED_TRACE(names);
    std::vector<std::string> blocks;
    for (int i = 0; i < 3 * names; ++i) {
      std::string name = i % 7 == 3 ? "" : "Name" + std::to_string(i % names);
      if (i / names == 1 && !name.empty()) name = "NAME" + name.substr(4);
      blocks.push_back(name + '\0' + std::to_string(i) + '\0');
    }
    std::vector<char*> pointers;
    for (std::string& block : blocks) pointers.push_back(block.data());
    pointers.push_back(nullptr);
    ItemRecord expected{};
    for (const std::string& block : blocks)
      if (block[0] != '\0') PutExtendedInfo(expected, block.c_str(), block.c_str() + block.find('\0') + 1);
    ItemRecord copy;
    DuplicateItemRecord(copy, HostRecord(nullptr, nullptr, pointers.data()));
    EXPECT_EQ(ExtendedOf(copy), ExtendedOf(expected));
    ReleaseItemRecord(copy);
    ReleaseItemRecord(expected);
  }
}

TEST(ItemRecords, PutExtendedInfoReplacesValuesOfAnyLength) {
  ItemRecord record{};
  PutExtendedInfo(record, "rating", "5");
  PutExtendedInfo(record, "BPM", "96");
  PutExtendedInfo(record, "", "ignored");
  PutExtendedInfo(record, nullptr, "ignored");
  PutExtendedInfo(record, "Mood", nullptr);

  PutExtendedInfo(record, "Rating", "a much longer value");
  EXPECT_STREQ(GetExtendedInfo(record, "RATING"), "a much longer value");
  // A shorter value is stored with its own terminator, not the old value's tail.
  PutExtendedInfo(record, "RATING", "4");
  EXPECT_STREQ(GetExtendedInfo(record, "rating"), "4");
  EXPECT_EQ(ExtendedOf(record), (ExtendedPairs{{"RATING", "4"}, {"BPM", "96"}, {"Mood", ""}}));
  EXPECT_EQ(GetExtendedInfo(record, "tempo"), nullptr);
  EXPECT_EQ(GetExtendedInfo(record, nullptr), nullptr);

  // Texts read back from the record itself: the old block must outlive the copy.
  PutExtendedInfo(record, record.extendedInfo[1], "a value longer than before");
  EXPECT_STREQ(GetExtendedInfo(record, "bpm"), "a value longer than before");
  PutExtendedInfo(record, "bpm", GetExtendedInfo(record, "BPM") + 2);
  EXPECT_STREQ(GetExtendedInfo(record, "bpm"), "value longer than before");
  PutExtendedInfo(record, "Mood", GetExtendedInfo(record, "bpm"));
  EXPECT_STREQ(GetExtendedInfo(record, "mood"), "value longer than before");
  ReleaseItemRecord(record);
}

TEST(ItemRecords, ListsGrowCopyAndRelease) {
  char a[] = "a.mp3";
  char b[] = "b.mp3";
  ItemRecord hostItems[] = {HostRecord(a, nullptr), HostRecord(b, b)};
  ItemRecordList source{hostItems, 2, 2};

  ItemRecordList list{nullptr, 0, 0};
  AppendItemRecords(list, source);
  AppendItemRecords(list, source);
  ASSERT_EQ(list.size, 4);
  EXPECT_EQ(list.alloc, 4);
  EXPECT_STREQ(list.items[0].filename, "a.mp3");
  EXPECT_STREQ(list.items[3].title, "b.mp3");
  EXPECT_NE(list.items[3].title, b);

  AppendItemRecords(list, list);  // onto its own end: the source moves as the list grows
  ASSERT_EQ(list.size, 8);
  EXPECT_STREQ(list.items[7].filename, "b.mp3");
  EXPECT_NE(list.items[7].filename, list.items[3].filename);

  ReserveItemRecords(list, 6, 100);  // below size: nothing
  EXPECT_EQ(list.alloc, 8);
  ReserveItemRecords(list, 10, 5);
  EXPECT_EQ(list.alloc, 15);
  EXPECT_EQ(list.size, 8);

  ClearItemRecords(list);
  EXPECT_EQ(list.size, 0);
  EXPECT_EQ(list.alloc, 15);
  EXPECT_NE(list.items, nullptr);
  ReleaseItemRecordList(list);
  EXPECT_EQ(list.items, nullptr);
  EXPECT_EQ(list.size, 0);
  EXPECT_EQ(list.alloc, 0);
}

TEST(ItemRecords, MalformedOrOversizedListsAreReadAsEmpty) {
  char a[] = "a.mp3";
  ItemRecord hostItem = HostRecord(a, a);
  ItemRecordList owned{nullptr, 0, 0};
  AppendItemRecords(owned, ItemRecordList{&hostItem, 1, 1});
  ASSERT_EQ(owned.size, 1);

  struct Case {
    const char* label;
    ItemRecordList source;
  };
  const Case cases[] = {
      {"negative size", {&hostItem, -1, 1}},
      {"no items but a size", {nullptr, 3, 3}},
      {"negative alloc", {nullptr, 0, -5}},
      // 1 + INT_MAX overflows int: nothing may be read from this source
      {"sizes summing past INT_MAX", {&hostItem, INT_MAX, INT_MAX}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    AppendItemRecords(owned, c.source);
    EXPECT_EQ(owned.size, 1);
    EXPECT_STREQ(owned.items[0].filename, "a.mp3");
  }

  // A reservation that cannot be made leaves the list and its records as they were.
  ItemRecord* before = owned.items;
  ReserveItemRecords(owned, INT_MAX, 1);
  ReserveItemRecords(owned, INT_MAX / 2, INT_MAX);
  EXPECT_EQ(owned.items, before);
  EXPECT_EQ(owned.size, 1);
  EXPECT_EQ(owned.alloc, 1);
  ReleaseItemRecordList(owned);

  ItemRecordList broken{nullptr, 4, 4};
  ClearItemRecords(broken);
  EXPECT_EQ(broken.size, 0);
  ReleaseItemRecordList(broken);
  EXPECT_EQ(broken.alloc, 0);
}

TEST(PooledRecords, CopiesEqualPlainCopiesFieldForField) {
  char file[] = "C:\\a.mp3";
  char empty[] = "";
  std::string huge(200000, 'h');  // larger than a pool block
  HostExtended merged{{"rating", "5"}, {"", "lost"}, {"BPM", "120"}, {"RATING", "3"}};
  HostExtended onlyEmpty{{"", "a"}};
  HostExtended none{};
  std::vector<std::pair<std::string, std::string>> manyNames;
  for (int i = 0; i < 40; ++i) manyNames.emplace_back("n" + std::to_string(i % 30), std::to_string(i));
  HostExtended many{};
  for (const auto& entry : manyNames) many.Add(entry.first, entry.second);
  ItemRecord host[] = {HostRecord(file, empty, merged.get()), HostRecord(nullptr, huge.data(), onlyEmpty.get()),
                       HostRecord(empty, nullptr, none.get()), HostRecord(file, file, many.get()),
                       HostRecord(nullptr, nullptr)};
  host[0].genre = empty;
  host[0].comment = file;
  ItemRecordList source{host, int(std::size(host)), int(std::size(host))};

  ItemRecordList plain{nullptr, 0, 0};
  AppendItemRecords(plain, source);
  const PooledRecords pooled(source);
  const PooledRecords again(pooled.View());  // a copy of copies, as a snapshot rebuilt from its own
  for (const PooledRecords* copies : {&pooled, &again}) {
    ASSERT_EQ(copies->View().size(), size_t(plain.size));
    for (int i = 0; i < plain.size; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(DescribeRecord(copies->View()[i]), DescribeRecord(plain.items[i]));
      if (copies->View()[i].filename != nullptr) {
        EXPECT_NE(copies->View()[i].filename, file);
      }
    }
  }
  EXPECT_LE(pooled.BlockCount(), 3u);  // the records and texts, the huge title's own
  ReleaseItemRecordList(plain);
}

}  // namespace
