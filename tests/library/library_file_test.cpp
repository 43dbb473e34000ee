#include "library/library_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "library/item_records.h"
#include "library/library_line_paths.h"
#include "library/library_snapshot.h"
#include "tests/support/library_text.h"
#include "tests/support/record_text.h"

namespace tunyra {
// A failure names the path it was on.
void PrintTo(LinePath path, std::ostream* out) { *out << LinePathName(path); }
}  // namespace tunyra

using namespace tunyra;

namespace {

const std::string kHeader = std::string(kLibraryFileHeader) + "\n";

// A malloc'd copy, as ReleaseItemRecord expects.
char* Dup(const char* s) {
  size_t n = std::strlen(s) + 1;
  return static_cast<char*>(std::memcpy(std::malloc(n), s, n));
}

// The tests that read lines run under every way of reading them that the machine can
// take, whatever way its processor would choose.
class LibraryFileOnEveryPath : public testing::TestWithParam<LinePath> {
 protected:
  void SetUp() override {
    if (!TakeLinePath(GetParam()))
      GTEST_SKIP() << "this machine cannot take the " << LinePathName(GetParam()) << " path of the line parser";
  }
  void TearDown() override { TakeLinePath(ProcessorLinePath()); }
};

std::string PathSuffix(const testing::TestParamInfo<LinePath>& path) {
  const char* const suffixes[] = {"Plain", "Sse2", "Avx2", "Packed"};
  return suffixes[static_cast<int>(path.param)];
}

INSTANTIATE_TEST_SUITE_P(LinePaths, LibraryFileOnEveryPath, testing::ValuesIn(kLinePaths), PathSuffix);

TEST_P(LibraryFileOnEveryPath, FormatAndParseRoundTripEveryAwkwardByte) {
  ItemRecordList owned{nullptr, 0, 0};
  ReserveItemRecords(owned, 3, 0);
  ASSERT_EQ(owned.alloc, 3);
  ItemRecord& a = owned.items[0];
  a = ItemRecord{};
  a.filename = Dup("C:\\Music\\A\\01 \\N.mp3");
  a.title = Dup("tab\there, newline\nthere, cr\rend;semi=eq\\");
  a.album = Dup("");
  a.artist = Dup("\\N");  // the text, not a null field
  a.comment = nullptr;
  a.genre = Dup("Caf\xE9 \xC9t\xE9");
  a.year = -2147483647 - 1;
  a.track = 2147483647;
  a.length = -1;
  PutExtendedInfo(a, "tags", "night;drive");
  PutExtendedInfo(a, "key=", "C=major\\");
  PutExtendedInfo(a, "empty", "");
  ItemRecord& b = owned.items[1];
  b = ItemRecord{};  // every text null, no extended information
  ItemRecord& c = owned.items[2];
  c = ItemRecord{};
  c.title = Dup("last\r");
  PutExtendedInfo(c, "cr", "at the end\r");
  owned.size = 3;

  std::string text = FormatLibraryFile(owned);
  LibraryFile file;
  std::string error;
  ASSERT_TRUE(file.Parse(text, "round.tsv", error)) << error;
  ASSERT_EQ(file.Records().size, 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(DescribeRecord(file.Records().items[i]), DescribeRecord(owned.items[i]));
  }
  EXPECT_EQ(FormatLibraryFile(file.Records()), text);

  // The parsed records are a valid host list: the snapshot copies them like any other.
  LibrarySnapshot snapshot;
  snapshot.Rebuild(file.Records());
  ASSERT_EQ(snapshot.Records().size(), 3u);
  EXPECT_EQ(DescribeRecord(snapshot.Records()[0]), DescribeRecord(owned.items[0]));
  ReleaseItemRecordList(owned);
}

TEST_P(LibraryFileOnEveryPath, ParseAcceptsLineEndsNullsAndEmptyFields) {
  struct Case {
    const char* label;
    std::string text;
    int count;
  };
  const std::string row = "a.mp3\tT\t\t\\N\tc\tg\t1999\t3\t-1\t";
  const Case cases[] = {
      {"header only", kHeader, 0},
      {"header without newline", kLibraryFileHeader, 0},
      {"LF", kHeader + row + "\n" + row + "\n", 2},
      {"CRLF", std::string(kLibraryFileHeader) + "\r\n" + row + "\r\n" + row + "\r\n", 2},
      {"last line without newline", kHeader + row + "\n" + row, 2},
      {"trailing empty lines", kHeader + row + "\n\n\r\n", 1},
      // Many reads' worth of them: nothing is reserved per line end.
      {"600 000 trailing empty lines", kHeader + row + "\n" + std::string(600000, '\n'), 1},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + kHeader + row + "\n", 1},
      {"lines across reads", kHeader + [&] {
         std::string rows;
         for (int i = 0; i < 30000; ++i) rows += row + "\r\n";
         return rows;
       }(), 30000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    LibraryFile file;
    std::string error;
    ASSERT_TRUE(file.Parse(c.text, "x.tsv", error)) << error;
    ASSERT_EQ(file.Records().size, c.count);
    for (int i = 0; i < c.count; ++i) {
      const ItemRecord& r = file.Records().items[i];
      EXPECT_STREQ(r.filename, "a.mp3");
      EXPECT_STREQ(r.album, "");
      EXPECT_EQ(r.artist, nullptr);
      EXPECT_STREQ(r.genre, "g");  // no stray CR
      EXPECT_EQ(r.length, -1);
      EXPECT_EQ(r.extendedInfo, nullptr);
    }
  }

  LibraryFile file;
  std::string error;
  ASSERT_TRUE(file.Parse(kHeader + "f\tt\ta\tr\tc\tg\t0\t0\t0\t\\N\n" +
                             "f\tt\ta\tr\tc\tg\t0\t0\t0\trating=5;RATING=3;=x;a=b=c\r\n",
                         "x.tsv", error))
      << error;
  EXPECT_EQ(file.Records().items[0].extendedInfo, nullptr);
  // The file gives the items as they are; merging names is the copy's business.
  EXPECT_EQ(ExtendedOf(file.Records().items[1]),
            (ExtendedPairs{
                {"rating", "5"}, {"RATING", "3"}, {"", "x"}, {"a", "b=c"}}));
}

// Escapes are decoded 64 bytes at a time where the processor allows: wherever one falls
// (across a window's edge, in a run of backslashes of any length) the text comes back as
// written, and a bad one is refused with its own message.
TEST_P(LibraryFileOnEveryPath, EscapesWhereverTheyFall) {
  const std::string tail = "\\\\\t\n\r;=";  // what each escape stands for
  for (size_t plain = 0; plain < 140; ++plain) {
    for (size_t run = 0; run < 4; ++run) {
      const std::string title = std::string(plain, 'a') + std::string(run, '\\') + tail + std::string(plain % 9, 'z');
      SCOPED_TRACE(std::to_string(plain) + " plain, " + std::to_string(run) + " backslashes");
      LibraryFile file;
      std::string error;
      const std::string line = "f\t" + EscapedField(title.c_str()) + "\ta\tr\tc\tg\t1\t2\t3\t\n";
      ASSERT_TRUE(file.Parse(kHeader + line, "e.tsv", error)) << error;
      ASSERT_EQ(file.Records().items[0].title, title);
    }
    const std::string before = kHeader + "f\t" + std::string(plain, 'a');
    LibraryFile file;
    std::string error;
    EXPECT_FALSE(file.Parse(before + "\\\ta\tr\tc\tg\t1\t2\t3\t\n", "e.tsv", error));
    EXPECT_EQ(error, "e.tsv:2: unfinished escape at the end of title");
    EXPECT_FALSE(file.Parse(before + "\\\\\\q\ta\tr\tc\tg\t1\t2\t3\t\n", "e.tsv", error));
    EXPECT_EQ(error, "e.tsv:2: unknown escape \\q in title");
  }
}

// Lines whose tabs, escapes and line ends fall on and beside the edges of the scan's
// 64-byte blocks and the decoder's windows (fields of 63, 64, 65 bytes and more): each
// path reads them, or refuses them with the same message, as the plain path does.
TEST_P(LibraryFileOnEveryPath, TrickyLinesReadAsThePlainPathReadsThem) {
  struct Piece {
    const char* label;
    std::string text;  // as the file holds it, at the end of the title, or of the line
    bool atLineEnd;
  };
  const Piece pieces[] = {
      {"escaped tab", "\\t", false},
      {"escaped backslash", "\\\\", false},
      {"run of backslashes", "\\\\\\\\\\;z", false},
      {"unknown escape", "\\q", false},
      {"unfinished escape", "\\", false},
      {"a tab too many", "\t", false},
      {"CRLF", "\r\n", true},
      {"escape before CRLF", "\\=\r\n", true},
  };
  for (size_t fileSize : {1, 40})
    for (size_t before : {0, 1, 15, 16, 31, 32, 61, 62, 63, 64, 65, 126, 127, 128, 129})
      for (const Piece& piece : pieces) {
        SCOPED_TRACE(std::string(piece.label) + " after " + std::to_string(before) + " bytes, file name of " +
                     std::to_string(fileSize));
        const std::string file(fileSize, 'f');
        const std::string filler(before, piece.atLineEnd ? 'v' : 'a');
        const std::string tricky = piece.atLineEnd
                                       ? file + "\tt\ta\tr\tc\tg\t1\t2\t3\tk=" + filler + piece.text
                                       : file + "\t" + filler + piece.text + "\ta\tr\tc\tg\t1\t2\t3\t\n";
        const std::string text =
            kHeader + "g\tt\ta\tr\tc\tg\t1\t2\t3\t\n" + tricky + "h\tt\t\\N\tr\tc\tg\t4\t5\t6\tx=y\n";
        auto read = [&text] {
          LibraryFile library;
          std::string error;
          if (!library.Parse(text, "t.tsv", error)) return "refused: " + error;
          std::string said;
          for (int i = 0; i < library.Records().size; ++i) said += DescribeRecord(library.Records().items[i]) + "\n";
          return said;
        };
        const std::string taken = read();
        ASSERT_TRUE(TakeLinePath(LinePath::Plain));
        const std::string plain = read();
        ASSERT_TRUE(TakeLinePath(GetParam()));
        EXPECT_EQ(taken, plain);
      }
}

// Numbers of up to eight digits are read a word at a time, longer ones and signed ones
// digit by digit: both ways must give the same values and refuse the same texts.
TEST_P(LibraryFileOnEveryPath, NumbersOfEveryLength) {
  const std::pair<const char*, int> values[] = {
      {"0", 0},        {"7", 7},           {"42", 42},       {"007", 7},
      {"1999", 1999},  {"12345678", 12345678}, {"00000009", 9}, {"123456789", 123456789},
      {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"-5", -5}};
  const char* const refused[] = {"1:", "9/", "12a4", "/123", "1 ", "+1", "\xB1", "12345678x"};
  // The track and the length: the bytes past a number are another field's.
  auto parse = [](const std::string& number, LibraryFile& file, std::string& error) {
    return file.Parse(kHeader + "f\tt\ta\tr\tc\tg\t1\t" + number + "\t" + number + "\tx=1\n", "n.tsv", error);
  };
  for (const auto& [text, value] : values) {
    SCOPED_TRACE(text);
    LibraryFile file;
    std::string error;
    ASSERT_TRUE(parse(text, file, error)) << error;
    EXPECT_EQ(file.Records().items[0].track, value);
    EXPECT_EQ(file.Records().items[0].length, value);
  }
  for (const char* text : refused) {
    LibraryFile file;
    std::string error;
    EXPECT_FALSE(parse(text, file, error)) << text;
  }
}

TEST_P(LibraryFileOnEveryPath, MalformedLinesAreErrorsNamingFileAndLine) {
  const std::string good = "f\tt\ta\tr\tc\tg\t1\t2\t3\tx=1\n";
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {"", "lib.tsv:1: the first line is not the library-file header"},
      {"filename\ttitle\n" + good, "lib.tsv:1: the first line is not the library-file header"},
      {kHeader + good + "f\tt\ta\tr\tc\tg\t1\t2\t3\n",
       "lib.tsv:3: expected 10 tab-separated fields, found 9"},
      {kHeader + "f\tt\ta\tr\tc\tg\t1\t2\t3\tx=1\textra\n",
       "lib.tsv:2: expected 10 tab-separated fields, found 11"},
      {kHeader + "f\tt\ta\tr\tc\tg\tabc\t2\t3\t\n",
       "lib.tsv:2: year is not an integer in the int range: 'abc'"},
      {kHeader + "f\tt\ta\tr\tc\tg\t1\t\t3\t\n",
       "lib.tsv:2: track is not an integer in the int range: ''"},
      {kHeader + "f\tt\ta\tr\tc\tg\t1\t2\t2147483648\t\n",
       "lib.tsv:2: length is not an integer in the int range: '2147483648'"},
      {kHeader + "f\tt\ta\tr\tc\tg\t1\t2\t 3\t\n",
       "lib.tsv:2: length is not an integer in the int range: ' 3'"},
      {kHeader + "f\tt\ta\tr\tc\tg\t\\N\t2\t3\t\n",
       "lib.tsv:2: year is not an integer in the int range: '\\N'"},
      {kHeader + good + good + "f\\q\tt\ta\tr\tc\tg\t1\t2\t3\t\n",
       "lib.tsv:4: unknown escape \\q in filename"},
      {kHeader + "f\tt\ta\tr\tc\\\tg\t1\t2\t3\t\n",
       "lib.tsv:2: unfinished escape at the end of comment"},
      {kHeader + "f\tt\ta\tr\tc\tg\t1\t2\t3\trating\n",
       "lib.tsv:2: extended pair without '=': 'rating'"},
      {kHeader + "f\tt\ta\tr\tc\tg\t1\t2\t3\ta=1;\n", "lib.tsv:2: extended pair without '=': ''"},
      {kHeader + "f\tt\ta\tr\tc\tg\t1\t2\t3\ta=1\\\n",
       "lib.tsv:2: unfinished escape at the end of extended"},
      {kHeader + good + "\n" + good, "lib.tsv:3: empty line"},
      {kHeader + good + std::string(600000, '\n') + good, "lib.tsv:3: empty line"},
      {"\xEF\xBB\xBF\xEF\xBB\xBF" + kHeader, "lib.tsv:1: the first line is not the library-file header"},
      {kHeader.substr(0, 5) + '\0' + kHeader, "lib.tsv:1: the first line is not the library-file header"},
      // The host's texts end at a NUL: the text after it would be lost without a word.
      {kHeader + good + std::string("f\tti\0tle\ta\tr\tc\tg\t1\t2\t3\t\n", 19), "lib.tsv:3: NUL byte in title"},
      {kHeader + std::string("f\tt\ta\tr\tc\tg\t1\t2\t3\tx=\0\n", 22), "lib.tsv:2: NUL byte in extended"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    LibraryFile file;
    std::string error;
    EXPECT_FALSE(file.Parse(c.text, "lib.tsv", error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(file.Records().size, 0);
    EXPECT_EQ(file.Records().items, nullptr);
  }
}

TEST(LibraryFile, ReadsFilesAndSaysWhyOneCannotBeRead) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "tunyra_library_file_test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string path = (folder / "library.tsv").string();
  const std::string text = kHeader + "f\tt\ta\tr\tc\tg\t1\t2\t3\tx=1\n";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);

  LibraryFile file;
  std::string error;
  EXPECT_TRUE(file.ReadFile(path, error)) << error;
  EXPECT_EQ(file.Records().size, 1);
  LibraryFile moved = std::move(file);
  EXPECT_EQ(file.Records().size, 0);
  ASSERT_EQ(moved.Records().size, 1);
  EXPECT_STREQ(moved.Records().items[0].title, "t");

  struct Case {
    std::string path;
    std::string error;
  };
  std::vector<Case> cases = {
      {(folder / "missing.tsv").string(), ": cannot open the file: No such file or directory"},
      // A folder once read as a file of enormous size: "out of memory".
      {folder.string(), ": cannot open the file: Is a directory"},
  };
#ifndef _WIN32
  // A device may never end; a FIFO without a writer once hung the reader in open().
  cases.push_back({"/dev/zero", ": cannot open the file: not a regular file"});
  const std::string fifo = (folder / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  cases.push_back({fifo, ":1: the first line is not the library-file header"});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_FALSE(file.ReadFile(c.path, error));
    EXPECT_EQ(error, c.path + c.error);
    EXPECT_EQ(file.Records().size, 0);
  }
  fs::remove_all(folder);
}

TEST(LibraryFile, FilterKeepsTheItemsAndFieldsItChooses) {
  std::string text = kHeader;
  for (int i = 0; i < 6; ++i)
    text += "f" + std::to_string(i) + "\tt\\;" + std::to_string(i) + "\ta\tr\tc\tg\t1\t" + std::to_string(i) +
            "\t3\tx=1;y=2\n";
  std::vector<std::string> seen;
  LibraryFile file;
  std::string error;
  ASSERT_TRUE(file.Parse(text, "f.tsv", error, [&](const ItemRecord& r, const LibraryTextLengths&) -> unsigned {
    seen.push_back(std::string(r.title) + "/" + ExtendedOf(r).at(1).second);
    return r.track % 2 ? kKeepTitle | kKeepExtended : 0;
  })) << error;
  EXPECT_EQ(seen, (std::vector<std::string>{"t;0/2", "t;1/2", "t;2/2", "t;3/2", "t;4/2", "t;5/2"}));
  ASSERT_EQ(file.Records().size, 3);
  for (int i = 0; i < 3; ++i) {
    const ItemRecord& r = file.Records().items[i];
    EXPECT_EQ(r.filename, nullptr);
    EXPECT_EQ(r.genre, nullptr);
    EXPECT_STREQ(r.title, ("t;" + std::to_string(2 * i + 1)).c_str());
    EXPECT_EQ(r.track, 2 * i + 1);
    EXPECT_EQ(ExtendedOf(r), (ExtendedPairs{{"x", "1"}, {"y", "2"}}));
  }
}

TEST_P(LibraryFileOnEveryPath, SampleLibraryParsesAndHoldsTheAwkwardCases) {
  LibraryFile file;
  std::string error;
  // Copied beside the test's working folder by the build; the source copy otherwise.
  if (!file.ReadFile("sample_library.tsv", error)) {
    ASSERT_TRUE(file.ReadFile(TUNYRA_SAMPLE_LIBRARY, error)) << error;
  }
  const ItemRecordList& records = file.Records();
  ASSERT_GT(records.size, 1900);
  ASSERT_LT(records.size, 2200);

  int unknownLengths = 0;
  int withExtended = 0;
  for (int i = 0; i < records.size; ++i) {
    unknownLengths += records.items[i].length == -1;
    withExtended += records.items[i].extendedInfo != nullptr;
    EXPECT_EQ(std::strncmp(records.items[i].filename, "C:\\Music\\", 9), 0);
  }
  EXPECT_GT(unknownLengths, 0);
  EXPECT_GT(withExtended, 100);

  LibrarySnapshot snapshot;
  snapshot.Rebuild(records);
  EXPECT_EQ(snapshot.Records().size(), size_t(records.size));
  const CSortedNameSet& artists = *snapshot.SetOfKind(kKindArtist);
  for (const char* expected : {"Vardeks, The", "VARDEKS, The", "Vardeks", "quillons, The",
                               "Molsten, the", "Thelvin Marsh", ", The", "(no artist)"}) {
    SCOPED_TRACE(expected);
    EXPECT_TRUE(artists.Contains(expected));
  }
  EXPECT_FALSE(artists.Contains("The Vardeks"));
  EXPECT_TRUE(snapshot.SetOfKind(kKindGenre)->Contains("Rock"));
  EXPECT_TRUE(snapshot.SetOfKind(kKindGenre)->Contains("rock"));
  EXPECT_TRUE(snapshot.SetOfKind(kKindTitle)->Contains("(no title)"));
  EXPECT_TRUE(snapshot.SetOfKind(kKindAlbum)->Contains("Caf\xE9 \xE0 Minuit"));
  std::vector<std::string> shown = snapshot.DisplayValues(kKindArtist);
  EXPECT_NE(std::find(shown.begin(), shown.end(), "The Molsten"), shown.end());
  // Latin-1 letters sort after every ASCII value.
  EXPECT_EQ(static_cast<unsigned char>(artists.GetAt(artists.GetSize() - 1)[0]) >= 0xC0, true);
}

}  // namespace
