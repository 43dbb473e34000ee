// The folder scan on real audio files: tags read back field by field in every format
// the fixture makes, bad input counted without stopping the scan, the incremental
// rescan of tunyra-scan and a folder given to tunyra-pick.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "library/library_file.h"
#include "scan/library_scan.h"
#include "scan/utf8_text.h"
#include "tests/scan/audio_fixture.h"
#include "tests/support/tool_run.h"

using namespace tunyra;

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

std::string Root() {
  static const std::string root = [] {
    std::string path = testing::TempDir() + "tunyra_scan_" + std::to_string(getpid());
    fs::remove_all(path);
    fs::create_directories(path);
    return path;
  }();
  return root;
}

// Silence made once per test program and copied for each case.
std::string BaseFile(const std::string& ext, int seconds) {
  static std::map<std::string, std::string> made;
  std::string key = std::to_string(seconds) + "." + ext;
  auto it = made.find(key);
  if (it != made.end()) return it->second;
  fs::create_directories(Root() + "/base");
  std::string path = Root() + "/base/" + key, error;
  if (!MakeSilentAudio(path, seconds, error)) ADD_FAILURE() << error;
  return made[key] = path;
}

bool ScanToText(const ScanSettings& settings, std::string& text, ScanReport& report, std::string& error) {
  char* data = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  bool ok = ScanFolders(settings, out, report, error);
  std::fclose(out);
  text.assign(data, size);
  std::free(data);
  return ok;
}

class ScanFixture : public testing::Test {
 protected:
  void SetUp() override {
    std::string missing = MissingAudioTools();
    if (!missing.empty()) GTEST_SKIP() << "audio tools missing: " << missing;
    m_dir = Root() + "/" + testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    if (!m_dir.empty()) fs::remove_all(m_dir);
  }

  std::string Song(const std::string& relative, const std::string& ext = "mp3", int seconds = 3) {
    std::string path = m_dir + "/" + relative;
    fs::create_directories(fs::path(path).parent_path());
    EXPECT_TRUE(CopyWholeFile(BaseFile(ext, seconds), path));
    return path;
  }

  // The scan of the test's folder, read back as a library; false when either failed.
  bool ScanFolder(LibraryFile& library, ScanReport& report) {
    ScanSettings settings;
    settings.folders = {m_dir};
    std::string text, error;
    const bool ok = ScanToText(settings, text, report, error) && library.Parse(text, "scan", error);
    EXPECT_TRUE(ok) << error;
    return ok;
  }

  std::string m_dir;
};

std::map<std::string, ItemRecord> ByPath(const LibraryFile& library) {
  std::map<std::string, ItemRecord> byPath;
  for (int i = 0; i < library.Records().size; ++i)
    byPath[library.Records().items[i].filename] = library.Records().items[i];
  return byPath;
}

std::string Extended(const ItemRecord& record, const std::string& name) {
  for (char** entry = record.extendedInfo; entry != nullptr && *entry != nullptr; ++entry)
    if (name == *entry) return *entry + name.size() + 1;
  return "(none)";
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Gives a file other bytes of the same size and puts its modification time back, so
// only a scan that opens it can tell.
void ReplaceContentKeepingStamp(const std::string& path) {
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(size_t(st.st_size), 'z');
  const timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct Expected {
  std::string title, album, artist, comment, genre;
  int year, track;
  std::string albumArtist, disc;
};

TEST_F(ScanFixture, TagsReadBackFieldByFieldInEveryFormat) {
  const std::string longText = std::string(20000, 'x') + "\xc3\xa9";
  struct Case {
    const char* name;
    bool tag;
    FixtureTags tags;
    Expected expected;
  } const cases[] = {
      {"accents", true,
       {"Caf\xc3\xa9 No\xc3\xabl", "\xc3\x86lbum", "Bj\xc3\xb6rk \xc3\x98rsted", "na\xc3\xafve",
        "Jazz", "Various \xc3\x84rtists", "2/3", 1999, 7},
       {"Caf\xc3\xa9 No\xc3\xabl", "\xc3\x86lbum", "Bj\xc3\xb6rk \xc3\x98rsted", "na\xc3\xafve",
        "Jazz", 1999, 7, "Various \xc3\x84rtists", "2/3"}},
      {"escapes", true,
       {"tab\there", "two\nlines", "back\\slash\\t", "a;b=c", "Free Jazz", "x;y=z", "1", 2024, 12},
       {"tab\there", "two\nlines", "back\\slash\\t", "a;b=c", "Free Jazz", 2024, 12, "x;y=z", "1"}},
      {"long", true,
       {longText, "A", longText, std::nullopt, "Rock", std::nullopt, std::nullopt, 0, 0},
       {longText, "A", longText, "", "Rock", 0, 0, "(none)", "(none)"}},
      {"empty", true, {"", "", "", "", "", std::nullopt, std::nullopt, 0, 0},
       {"", "", "", "", "", 0, 0, "(none)", "(none)"}},
      {"untagged", false, {}, {"", "", "", "", "", 0, 0, "(none)", "(none)"}},
      {"nul", true, {std::string("before\0after", 12), "", "", "", "", std::nullopt, std::nullopt, 0, 0},
       {"before", "", "", "", "", 0, 0, "(none)", "(none)"}},
      // TagLib's own numbers take "-5/12" for 4294967291 and wrap past 32 bits.
      {"negative numbers", true, {.texts = {{"TRACKNUMBER", "-5/12"}, {"DATE", "-44"}}},
       {"", "", "", "", "", 0, 0, "(none)", "(none)"}},
      {"huge numbers", true, {.texts = {{"TRACKNUMBER", "5000000000"}, {"DATE", "12345"}}},
       {"", "", "", "", "", 0, 0, "(none)", "(none)"}},
      {"numbers and more", true, {.texts = {{"TRACKNUMBER", "2147483647/12"}, {"DATE", "1999-05-01"}}},
       {"", "", "", "", "", 1999, 2147483647, "(none)", "(none)"}},
  };
  for (const std::string& ext : FixtureFormats())
    for (const Case& c : cases) {
      std::string path = Song(std::string(c.name) + "." + ext, ext, c.tag ? 7 : 3);
      std::string error;
      if (c.tag) {
        EXPECT_TRUE(WriteFixtureTags(path, c.tags, error)) << error;
      }
    }

  ScanReport report;
  LibraryFile library;
  ASSERT_TRUE(ScanFolder(library, report));
  EXPECT_EQ(report.problems.size(), 0u) << FormatScanSummary(report);
  std::map<std::string, ItemRecord> byPath = ByPath(library);
  for (const std::string& ext : FixtureFormats())
    for (const Case& c : cases) {
      const std::string path = fs::canonical(m_dir).string() + "/" + c.name + "." + ext;
      SCOPED_TRACE(path);
      ASSERT_EQ(byPath.count(path), 1u);
      const ItemRecord& r = byPath[path];
      const Expected& e = c.expected;
      // ID3v2 (mp3, wav, aiff) takes a NUL as the end of one value and the start of
      // another, which TagLib joins; the other formats keep it inside the value.
      bool id3 = ext == "mp3" || ext == "wav" || ext == "aiff";
      EXPECT_EQ(r.title, std::string(c.name) == "nul" && id3 ? "before after" : e.title);
      EXPECT_EQ(r.album, e.album);
      EXPECT_EQ(r.artist, e.artist);
      EXPECT_EQ(r.comment, e.comment);
      EXPECT_EQ(r.genre, e.genre);
      EXPECT_EQ(r.year, e.year);
      EXPECT_EQ(r.track, e.track);
      EXPECT_EQ(r.length, c.tag ? 7 : 3);
      EXPECT_EQ(Extended(r, "albumartist"), e.albumArtist);
      EXPECT_EQ(Extended(r, "disc"), e.disc);
      EXPECT_EQ(Extended(r, "filesize"), std::to_string(fs::file_size(path)));
    }
}

TEST(Utf8Text, EachByteThatStartsNoWellFormedSequenceIsMended) {
  const std::string bad = "\xef\xbf\xbd";
  struct Case {
    std::string bytes, mended;
  } const cases[] = {
      {"ok \xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5", "ok \xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5"},
      {"Caf\xe9", "Caf" + bad},
      {"\xc0\xaf", bad + bad},                     // an overlong '/'
      {"\xed\xa0\x80", bad + bad + bad},            // a surrogate
      {"\xf4\x90\x80\x80", bad + bad + bad + bad},  // past U+10FFFF
      {"\xe2\x82", bad + bad},                     // cut short
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::string out;
    EXPECT_EQ(AppendMendedUtf8(c.bytes, out), c.bytes != c.mended);
    EXPECT_EQ(out, c.mended);
    EXPECT_EQ(IsUtf8(c.bytes), c.bytes == c.mended);
  }
}

TEST_F(ScanFixture, TagTextsNotInUtf8KeepWhatCanBeRead) {
  // A tagger that wrote Latin-1 into a UTF-8 text ("Caf\xe9") cost the whole text.
  const std::string euro = "\xe2\x82\xac", note = "\xf0\x9f\x8e\xb5", bad = "\xef\xbf\xbd";
  std::string error;
  // Each format, and Xiph comments too long for the first bytes the scan looks at.
  std::vector<std::string> files;
  for (const std::string& ext : FixtureFormats()) files.push_back("latin1." + ext);
  for (const char* ext : {"flac", "ogg", "opus"}) files.push_back("long." + std::string(ext));
  for (const std::string& file : files) {
    const std::string ext = file.substr(file.find('.') + 1), path = Song(file, ext);
    FixtureTags tags{.title = "Caf\xc3\xa9 " + euro, .album = "Ok " + note, .comment = "Caf\xc3\xa9 " + euro + " au lait"};
    if (file.rfind("long.", 0) == 0) tags.texts = {{"LYRICS", std::string(100000, 'x')}};
    ASSERT_TRUE(WriteFixtureTags(path, tags, error)) << error;
    ASSERT_TRUE(OverwriteBytes(path, "Caf\xc3\xa9", "Caf\xe9!")) << path;
  }
  // lame's UTF-16 ID3v2, one surrogate cut from its partner.
  const std::string utf16 = m_dir + "/utf16.mp3";
  ASSERT_EQ(std::system(("lame --quiet --id3v2-only --id3v2-utf16 --tt 'ab" + euro + "' " + BaseFile("wav", 3) + " " + utf16).c_str()), 0);
  ASSERT_TRUE(OverwriteBytes(utf16, std::string("b\0\xac\x20", 4), std::string("\0\xd8\xac\x20", 4)));

  ScanReport report;
  LibraryFile library;
  ASSERT_TRUE(ScanFolder(library, report));
  std::map<std::string, ItemRecord> byPath = ByPath(library);
  const std::string root = fs::canonical(m_dir).string();
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const ItemRecord& r = byPath[root + "/" + file];
    EXPECT_STREQ(r.title, ("Caf" + bad + "! " + euro).c_str());
    EXPECT_STREQ(r.comment, ("Caf" + bad + "! " + euro + " au lait").c_str());
    EXPECT_STREQ(r.album, ("Ok " + note).c_str());
  }
  EXPECT_STREQ(byPath[root + "/utf16.mp3"].title, ("a" + bad + euro).c_str());
  EXPECT_EQ(report.mendedTags, files.size() + 1);
  EXPECT_THAT(FormatScanSummary(report), HasSubstr("10 read with tag texts not UTF-8 (bad bytes as U+FFFD)"));
}

TEST_F(ScanFixture, ModificationTimesEarlyAndLateGiveSaneStamps) {
  // Nanoseconds since 1970 fill 64 bits in 2262; beyond, a stamp is held at the end of
  // the range, and such a file is read again on every scan.
  struct Case {
    const char* name;
    timespec mtime;
    const char* filetime;
    bool kept;  // on a rescan
  } const cases[] = {
      {"1969", {-1, 0}, "-1000000000", true},
      {"2033", {2000000000, 5}, "2000000000000000005", true},
      {"last exact", {9223372036, 854775806}, "9223372036854775806", true},
      {"first beyond", {9223372036, 854775808}, "9223372036854775807", false},
      {"2300", {10413792000, 0}, "9223372036854775807", false},
  };
  for (const Case& c : cases) {
    const timespec times[2] = {{0, UTIME_OMIT}, c.mtime};
    ASSERT_EQ(utimensat(AT_FDCWD, Song(std::string(c.name) + ".mp3").c_str(), times, 0), 0) << c.name;
  }
  ScanSettings settings;
  settings.folders = {m_dir};
  std::string text, error;
  ScanReport report;
  LibraryFile first;
  ASSERT_TRUE(ScanToText(settings, text, report, error) && first.Parse(text, "first", error)) << error;
  settings.previous = &first;
  ASSERT_TRUE(ScanToText(settings, text, report, error)) << error;
  std::map<std::string, ItemRecord> byPath = ByPath(first);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Extended(byPath[fs::canonical(m_dir).string() + "/" + c.name + ".mp3"], "filetime"), c.filetime);
  }
  EXPECT_EQ(report.kept, 3u);
  EXPECT_EQ(report.read, 2u);
}

TEST_F(ScanFixture, BadInputIsCountedAndTheLibraryReadsBack) {
  struct Case {
    const char* name;
    std::function<void(const std::string& dir)> make;
    size_t songs, problems, notAudio;
    const char* reason;  // in every problem
    std::function<void(const std::string& dir, size_t done)> during = nullptr;
    bool needsNonRoot = false;
    size_t nonUtf8Names = 0;
  };
  auto write = [](const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; };
  auto zeros = [&](const std::string& path, std::uintmax_t size) { write(path, ""); fs::resize_file(path, size); };
  auto patched = [&](const std::string& path, size_t at, const std::string& bytes) {
    std::string data = ReadWhole(BaseFile(path.substr(path.rfind('.') + 1), 3));
    write(path, data.replace(at, bytes.size(), bytes));
  };
  auto song = [&](const std::string& path, const char* ext = "mp3") { CopyWholeFile(BaseFile(ext, 3), path); };
  auto head = [&](const char* ext, size_t bytes) { return ReadWhole(BaseFile(ext, 3)).substr(0, bytes); };
  std::string noise;
  for (unsigned x = 12345; noise.size() < 8192;) noise += char((x = x * 1103515245 + 12345) >> 16);

  const Case cases[] = {
      {"empty", [&](auto d) { write(d + "/e.mp3", ""); }, 0, 1, 0, "empty file"},
      {"cut short", [&](auto d) { write(d + "/t.flac", head("flac", 20)); }, 0, 1, 0, "not audio"},
      {"truncated", [&](auto d) { write(d + "/half.mp3", head("mp3", 2000)); }, 0, 1, 0,
       "truncated or corrupt: 3 s at 33 kbit/s take 12 KB, the file has 2000 bytes"},
      {"corrupt",
       [&](auto d) {
         write(d + "/c.ogg", noise);
         write(d + "/c.opus", "OggS" + noise);
         write(d + "/c.mp3", std::string(3000, 'z'));
       },
       0, 3, 0, "not audio"},
      // A download manager's preallocated files: found out from their first megabyte,
      // where TagLib hunted through a whole MP3 for a frame at some 10 MB/s.
      {"preallocated",
       [&](auto d) {
         zeros(d + "/big.mp3", std::uintmax_t(1) << 30);
         for (const char* ext : {"mpc", "flac", "ogg", "m4a", "wav", "aiff", "opus"}) zeros(d + "/z." + ext, 1 << 20);
       },
       0, 8, 0, "not audio: it starts with nothing but zero bytes"},
      {"random bytes", [&](auto d) { for (const char* ext : {"wav", "aiff", "mp3", "m4a"}) write(d + "/x." + ext, noise.substr(0, 2000)); },
       0, 4, 0, "not audio: its start is no format TagLib reads"},
      {"library file", [&](auto d) { write(d + "/lib.wav", std::string(kLibraryFileHeader) + "\n"); }, 0, 1, 0,
       "not audio but a library file"},
      {"implausible", [&](auto d) { patched(d + "/rate.wav", 24, std::string(4, '\0')); patched(d + "/mono.wav", 22, std::string(2, '\0')); },
       0, 2, 0, "not plausible as audio: "},
      {"audio behind a long tag, junk or zeros",
       [&](auto d) {
         song(d + "/tagged.mp3");
         std::string error;
         EXPECT_TRUE(WriteFixtureTags(d + "/tagged.mp3", {.comment = std::string(3 << 20, 'c')}, error)) << error;
         write(d + "/junk.mp3", std::string(300000, 'j') + head("mp3", 1 << 20));
         write(d + "/padded.mp3", std::string(600000, '\0') + head("mp3", 1 << 20));
       },
       3, 0, 0, ""},
      {"wrong extension", [&](auto d) { song(d + "/flac.mp3", "flac"); song(d + "/ogg.flac", "ogg"); }, 2, 0, 0, ""},
      {"not audio", [&](auto d) { write(d + "/cover.jpg", noise); write(d + "/notes", "x"); song(d + "/flac.txt", "flac"); },
       0, 0, 3, ""},
      {"link loops",
       [&](auto d) {
         fs::create_directories(d + "/in");
         song(d + "/in/a.mp3");
         fs::create_directory_symlink("..", d + "/in/up");
         fs::create_symlink("self.mp3", d + "/self.mp3");
       },
       1, 1, 0, "symbolic links"},
      {"fifo", [&](auto d) { mkfifo((d + "/pipe.mp3").c_str(), 0600); }, 0, 1, 0, "not a regular file"},
      // Listed by their bytes, which open the file, and counted.
      {"names not UTF-8",
       [&](auto d) {
         song(d + "/\xff\xfe bad.mp3");
         fs::create_directories(d + "/\xe9t\xe9");
         song(d + "/\xe9t\xe9/song.mp3");
       },
       2, 0, 0, "", nullptr, false, 2},
      {"unreadable", [&](auto d) { song(d + "/locked.mp3"); chmod((d + "/locked.mp3").c_str(), 0); }, 0, 1, 0,
       "Permission denied", nullptr, true},
      {"folder vanishes",
       [&](auto d) {
         fs::create_directories(d + "/a");
         fs::create_directories(d + "/b");
         for (const char* f : {"/a/1.mp3", "/a/2.mp3", "/b/1.mp3", "/b/2.mp3"}) song(d + f);
       },
       2, 2, 0, "No such file",
       [](const std::string& d, size_t done) { if (done == 1) fs::remove_all(d + "/b"); }},
      {"100k files",
       [&](auto d) {
         song(d + "/one.mp3");
         for (int i = 0; i < 100000; ++i) close(open((d + "/" + std::to_string(i) + ".cue").c_str(), O_CREAT | O_WRONLY, 0600));
       },
       1, 0, 100000, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = m_dir + "/" + c.name;
    fs::create_directories(dir);
    c.make(dir);
    ScanSettings settings;
    settings.folders = {dir};
    if (c.during) settings.onProgress = [&](const ScanProgress& p) { if (!p.listing) c.during(dir, p.done); };
    std::string text, error;
    ScanReport report;
    // Root reads any file: such a case scans as an ordinary user (the folders on the
    // way opened to it), so it runs in CI too.
    const bool asOtherUser = c.needsNonRoot && geteuid() == 0;
    if (asOtherUser) {
      for (const std::string& d : {Root(), m_dir, dir}) chmod(d.c_str(), 0755);
      ASSERT_EQ(seteuid(65534), 0);
    }
    const auto started = std::chrono::steady_clock::now();
    const bool scanned = ScanToText(settings, text, report, error);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    if (asOtherUser) {
      ASSERT_EQ(seteuid(0), 0);
    }
    ASSERT_TRUE(scanned) << error;
    LibraryFile library;
    EXPECT_TRUE(library.Parse(text, c.name, error)) << error;
    EXPECT_EQ(library.Records().size, int(c.songs));
    EXPECT_EQ(report.songs, c.songs);
    EXPECT_EQ(report.problems.size(), c.problems) << FormatScanSummary(report);
    EXPECT_EQ(report.notAudio, c.notAudio);
    EXPECT_EQ(report.nonUtf8Names, c.nonUtf8Names);
    if (c.nonUtf8Names > 0) {
      EXPECT_THAT(FormatScanSummary(report), HasSubstr(", 2 names not UTF-8 (listed by their bytes)"));
    }
    for (const ScanProblem& problem : report.problems) EXPECT_THAT(problem.path + ": " + problem.reason, HasSubstr(c.reason));
    for (int i = 0; i < library.Records().size; ++i) {
      EXPECT_EQ(library.Records().items[i].length, 3);
      EXPECT_TRUE(fs::exists(library.Records().items[i].filename)) << library.Records().items[i].filename;
    }
  }
}

// A download cut short or a file still being written was listed as the whole song its
// header promises (FLAC), as a song of what it held (Ogg), or as 0 Hz (WAV).
TEST_F(ScanFixture, TruncatedFilesAreCountedWithTheirReason) {
  struct Case {
    const char* format;
    const char* ext;      // of the name
    double keep;          // of the file's bytes
    size_t cut;           // bytes off the end besides
    const char* reason;   // "" for a song
    bool unknownTotal = false;  // a FLAC's STREAMINFO with 0 samples
    bool writing = false;       // a FLAC's STREAMINFO as the encoder starts it: no frame sizes, no MD5
  } const cases[] = {
      {"flac", "flac", 1, 0, ""},
      {"ogg", "ogg", 1, 0, ""},
      {"opus", "opus", 1, 0, ""},
      {"wav", "wav", 1, 0, ""},
      {"flac", "flac", 0.5, 0, "truncated: its frames stop at sample "},
      {"flac", "flac", 0.6, 0, "truncated: its frames stop at sample ", false, true},
      {"flac", "mp3", 0.9, 0, "truncated: its frames stop at sample "},
      {"flac", "flac", 1, 10, "truncated: the file ends inside its last frame, before sample 80000 (10.0 s)"},
      {"flac", "flac", 0.03, 0, "truncated: the file ends before the first of the 80000 samples its header promises (10.0 s)"},
      {"flac", "flac", 0.5, 0, "", true},
      // Cut in its metadata, it is TagLib's to judge.
      {"flac", "flac", 0.03, 0, "not audio that TagLib can read", true},
      {"ogg", "ogg", 0.5, 0, "truncated: the stream breaks off at "},
      {"ogg", "ogg", 1, 10, "truncated: the stream breaks off at "},
      {"opus", "opus", 0.5, 0, "truncated: the stream breaks off at "},
      {"opus", "ogg", 1, 10, "truncated: the stream breaks off at "},
      {"wav", "wav", 0.5, 0, "truncated: the data chunk declares 156 KB, the file holds 78 KB of it"},
      {"wav", "wav", 1, 1, "truncated: the data chunk declares 156 KB, the file holds 156 KB of it"},
  };
  std::map<std::string, std::string> made;
  std::vector<std::string> names;
  for (const Case& c : cases) {
    std::string& whole = made[c.format];
    std::string error;
    if (whole.empty()) {
      const std::string source = m_dir + "/noise." + c.format;
      ASSERT_TRUE(MakeNoiseAudio(source, 10, error)) << error;
      whole = ReadWhole(source);
      fs::remove(source);
    }
    std::string bytes = whole.substr(0, size_t(double(whole.size()) * c.keep) - c.cut);
    if (c.unknownTotal) {
      bytes[21] = char(bytes[21] & 0xF0);  // STREAMINFO's total, 36 bits from here
      bytes.replace(22, 4, 4, '\0');
    }
    if (c.writing) {
      bytes.replace(12, 6, 6, '\0');
      bytes.replace(26, 16, 16, '\0');
    }
    names.push_back(std::to_string(names.size()) + "." + c.ext);
    std::ofstream(m_dir + "/" + names.back(), std::ios::binary) << bytes;
  }
  ScanReport report;
  LibraryFile library;
  ASSERT_TRUE(ScanFolder(library, report));
  std::map<std::string, ItemRecord> byPath = ByPath(library);
  std::map<std::string, std::string> reasons;
  for (const ScanProblem& problem : report.problems) reasons[problem.path] = problem.reason;
  const std::string root = fs::canonical(m_dir).string();
  for (size_t i = 0; i < names.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(names[i] + " from " + c.format + ", expecting " + (*c.reason ? c.reason : "a song"));
    const std::string path = root + "/" + names[i];
    if (*c.reason == '\0') {
      EXPECT_EQ(reasons.count(path), 0u) << reasons[path];
      ASSERT_EQ(byPath.count(path), 1u);
      EXPECT_EQ(byPath[path].length, c.unknownTotal ? -1 : 10);
    } else {
      EXPECT_EQ(byPath.count(path), 0u);
      EXPECT_THAT(reasons[path], HasSubstr(c.reason));
    }
  }
}

// "tunyra-scan big big/d0" said "1 folders reached again through links skipped", with
// no link there: big/d0 was given, and met again inside big.
TEST_F(ScanFixture, FoldersMetTwiceAreSaidAsTheyWereMet) {
  Song("big/d0/a.mp3");
  Song("big/d1/b.mp3");
  fs::create_directories(m_dir + "/links/real");
  Song("links/real/c.mp3");
  fs::create_directory_symlink("real", m_dir + "/links/one");
  fs::create_directory_symlink("real", m_dir + "/links/two");
  fs::create_directory_symlink("..", m_dir + "/big/d1/up");
  struct Case {
    std::vector<std::string> folders;
    size_t songs;
    std::vector<std::string> said, unsaid;
  } const cases[] = {
      {{"big/d0"}, 1, {}, {"given", "link"}},
      {{"big/d0", "big/d0"}, 1, {", 1 folder given twice or inside another given folder (walked once)"}, {"link"}},
      // The link up from d1 reaches big, a given folder, through a link all the same.
      {{"big"}, 2, {", 1 folder reached again through a link (walked once)"}, {"given"}},
      {{"big", "big/d0"}, 2,
       {", 1 folder given twice or inside another given folder (walked once), 1 folder reached again through a link"}, {}},
      {{"big/d0", "big", "big/d1"}, 2, {", 2 folders given twice or inside other given folders (walked once)"}, {}},
      {{"links"}, 1, {", 2 folders reached again through links (walked once)"}, {"given"}},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& folder : c.folders) joined += folder + " ";
    SCOPED_TRACE(joined);
    ScanSettings settings;
    for (const std::string& folder : c.folders) settings.folders.push_back(m_dir + "/" + folder);
    std::string text, error;
    ScanReport report;
    ASSERT_TRUE(ScanToText(settings, text, report, error)) << error;
    EXPECT_EQ(report.songs, c.songs);
    const std::string summary = FormatScanSummary(report);
    for (const std::string& part : c.said) EXPECT_THAT(summary, HasSubstr(part));
    for (const std::string& part : c.unsaid) EXPECT_THAT(summary, Not(HasSubstr(part)));
  }
}

TEST_F(ScanFixture, RescanKeepsUnchangedReadsChangedDropsGone) {
  std::string a = Song("a.mp3"), b = Song("b.flac", "flac"), c = Song("c.ogg", "ogg");
  std::string error;
  ASSERT_TRUE(WriteFixtureTags(c, FixtureTags{"Kept title", {}, {}, {}, {}, {}, {}, 0, 0}, error));
  const std::string lib = m_dir + "/library.tsv";
  ToolResult first = RunTool(TUNYRA_SCAN_PATH, {m_dir, "-o", lib});
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_THAT(first.err, HasSubstr("3 songs written (0 unchanged, 3 read)"));

  ReplaceContentKeepingStamp(c);  // unchanged to the scan: must not be opened
  struct timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, a.c_str(), later, 0), 0);  // touched: read again
  fs::remove(b);
  Song("d.opus", "opus");
  ToolResult second = RunTool(TUNYRA_SCAN_PATH, {m_dir, "-o", lib});
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_THAT(second.err, HasSubstr("3 songs written (1 unchanged, 2 read)"));
  LibraryFile library;
  ASSERT_TRUE(library.ReadFile(lib, error)) << error;
  std::map<std::string, ItemRecord> byPath = ByPath(library);
  const std::string root = fs::canonical(m_dir).string();
  EXPECT_EQ(byPath.count(root + "/b.flac"), 0u);
  ASSERT_EQ(byPath.count(root + "/c.ogg"), 1u);
  EXPECT_STREQ(byPath[root + "/c.ogg"].title, "Kept title");
  EXPECT_EQ(Extended(byPath[root + "/a.mp3"], "filetime"), "2000000000000000000");
  EXPECT_EQ(byPath.count(root + "/d.opus"), 1u);
  for (const auto& entry : fs::directory_iterator(m_dir))
    EXPECT_NE(entry.path().filename().string()[0], '.');

  // Lines an older scan wrote are read again, unchanged or not: it listed files that
  // are not audio as songs, as c.ogg now is.
  std::string text = ReadWhole(lib);
  for (size_t at; (at = text.find(";scanner=2")) != std::string::npos;) text.erase(at, 10);
  std::ofstream(lib, std::ios::trunc) << text;
  ToolResult older = RunTool(TUNYRA_SCAN_PATH, {m_dir, "-o", lib});
  ASSERT_EQ(older.code, 0) << older.err;
  EXPECT_THAT(older.err, HasSubstr("2 songs written (0 unchanged, 2 read)"));
  EXPECT_THAT(older.err, HasSubstr("c.ogg: not audio"));

  // A file that is not a library is never replaced.
  const std::string notLibrary = m_dir + "/notes.txt";
  std::ofstream(notLibrary) << "my notes\n";
  ToolResult refused = RunTool(TUNYRA_SCAN_PATH, {m_dir, "-o", notLibrary});
  EXPECT_EQ(refused.code, 2);
  EXPECT_EQ(ReadWhole(notLibrary), "my notes\n");
  EXPECT_EQ(RunTool(TUNYRA_SCAN_PATH, {m_dir + "/missing", "-o", lib}).code, 2);
}

TEST_F(ScanFixture, PickTakesAFolderAndReadsOnlyTheCacheWhenNothingChanged) {
  const std::string music = m_dir + "/music", cache = m_dir + "/cache";
  const ToolSetup withCache{"", {"XDG_CACHE_HOME=" + cache}, std::nullopt};
  std::string error;
  int n = 0;
  for (const char* genre : {"Jazz", "Jazz", "Rock"}) {
    std::string path = Song("music/" + std::to_string(++n) + ".mp3", "mp3", 3);
    ASSERT_TRUE(WriteFixtureTags(path, FixtureTags{"Song " + std::to_string(n), {}, {}, {}, genre, {}, {}, 0, 0}, error));
  }
  const std::vector<std::string> jazz = {music, "--check", "4=Jazz", "--candidates"};
  const std::string expected = "#EXTM3U\n#EXTINF:3,Song 1\n" + fs::canonical(music).string() +
                               "/1.mp3\n#EXTINF:3,Song 2\n" + fs::canonical(music).string() + "/2.mp3\n";
  ToolResult first = RunTool(TUNYRA_PICK_PATH, jazz, withCache);
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_EQ(first.out, expected);
  ASSERT_EQ(std::distance(fs::directory_iterator(cache + "/tunyra"), fs::directory_iterator()), 1);

  EXPECT_THAT(first.err, HasSubstr("3 songs written (0 unchanged, 3 read)"));

  ReplaceContentKeepingStamp(music + "/1.mp3");
  ToolResult second = RunTool(TUNYRA_PICK_PATH, jazz, withCache);
  EXPECT_EQ(second.out, expected) << second.err;
  EXPECT_THAT(second.err, Not(HasSubstr("songs written"))) << "the same summary on a run that read nothing";

  ToolResult fill = RunTool(TUNYRA_PICK_PATH, {music, "--check", "4=Jazz", "--minutes", "5", "--duplicates", "--seed", "1"}, withCache);
  EXPECT_EQ(fill.code, 0) << fill.err;
  EXPECT_THAT(fill.out, HasSubstr("/2.mp3\n"));
  ToolResult list = RunTool(TUNYRA_PICK_PATH, {music, "--list", "genre"}, withCache);
  EXPECT_EQ(list.out, "Jazz\nRock\n");

  // Changed now: read again, and no longer a song.
  struct timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (music + "/1.mp3").c_str(), later, 0), 0);
  ToolResult third = RunTool(TUNYRA_PICK_PATH, jazz, withCache);
  EXPECT_EQ(third.code, 0);
  EXPECT_THAT(third.out, ::testing::Not(HasSubstr("/1.mp3")));
  EXPECT_THAT(third.err, HasSubstr("1.mp3: "));
  // The same problem again is no news; --verbose tells it all the same.
  EXPECT_THAT(RunTool(TUNYRA_PICK_PATH, jazz, withCache).err, Not(HasSubstr("1.mp3: ")));
  std::vector<std::string> verbose = jazz;
  verbose.push_back("--verbose");
  EXPECT_THAT(RunTool(TUNYRA_PICK_PATH, verbose, withCache).err, HasSubstr("1.mp3: "));
}

// A cache that an earlier version named by the FNV-1a hash of the folder's path is taken
// up under its present name: the run after an upgrade reads none of the songs again.
TEST_F(ScanFixture, PickTakesUpTheCacheOfAnEarlierVersion) {
  const std::string music = m_dir + "/music", cache = m_dir + "/cache";
  const ToolSetup withCache{"", {"XDG_CACHE_HOME=" + cache}, std::nullopt};
  Song("music/1.mp3");
  Song("music/2.mp3");
  const std::vector<std::string> all = {music, "--list", "title"};
  ASSERT_EQ(RunTool(TUNYRA_PICK_PATH, all, withCache).code, 0);
  std::vector<fs::path> caches(fs::directory_iterator(cache + "/tunyra"), fs::directory_iterator());
  ASSERT_EQ(caches.size(), 1u);
  std::uint64_t fnv1a = 14695981039346656037ULL;
  for (unsigned char c : fs::canonical(music).string()) fnv1a = (fnv1a ^ c) * 1099511628211ULL;
  char earlier[32];
  std::snprintf(earlier, sizeof earlier, "%016llx.tsv", static_cast<unsigned long long>(fnv1a));
  fs::rename(caches[0], cache + "/tunyra/" + earlier);

  const ToolResult upgraded = RunTool(TUNYRA_PICK_PATH, all, withCache);
  EXPECT_EQ(upgraded.code, 0) << upgraded.err;
  EXPECT_THAT(upgraded.err, Not(HasSubstr("songs written"))) << "the songs were read again";
  EXPECT_TRUE(fs::exists(caches[0]));
  EXPECT_FALSE(fs::exists(cache + "/tunyra/" + earlier));
}

// A damaged cache was read again from the files without a word: it is said once, and
// the cache rewritten says nothing the next time.
TEST_F(ScanFixture, PickSaysOnceThatAFolderCacheWasDamaged) {
  const std::string music = m_dir + "/music", cache = m_dir + "/cache";
  const ToolSetup withCache{"", {"XDG_CACHE_HOME=" + cache}, std::nullopt};
  Song("music/1.mp3");
  const std::vector<std::string> list = {music, "--list", "title"};
  ASSERT_EQ(RunTool(TUNYRA_PICK_PATH, list, withCache).code, 0);
  const fs::path cacheFile = *fs::directory_iterator(cache + "/tunyra");
  const std::string good = ReadWhole(cacheFile.string());
  struct Case {
    const char* name;
    std::string bytes;
    const char* why;
  } const cases[] = {
      {"a line cut short", good.substr(0, good.rfind('\t')), ":2: "},
      {"not a library", "garbage\n", ":1: "},
      {"empty", "", ": empty file"},
      {"a line without stamps", good.substr(0, good.find("filesize=")) + "\n", "no filesize and filetime"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(cacheFile, std::ios::binary | std::ios::trunc) << c.bytes;
    const ToolResult damaged = RunTool(TUNYRA_PICK_PATH, list, withCache);
    EXPECT_EQ(damaged.code, 0) << damaged.err;
    EXPECT_EQ(damaged.out, "(no title)\n");
    EXPECT_THAT(damaged.err, HasSubstr("tunyra-pick: the scan cache of " + music + " was damaged (" +
                                       cacheFile.string()));
    EXPECT_THAT(damaged.err, HasSubstr(std::string(c.why)));
    EXPECT_THAT(damaged.err, HasSubstr("); the folder is read again and the cache rewritten\n"));
    EXPECT_EQ(ReadWhole(cacheFile.string()), good);
    const ToolResult again = RunTool(TUNYRA_PICK_PATH, list, withCache);
    EXPECT_EQ(again.out, "(no title)\n");
    EXPECT_EQ(again.err, "");
  }
}

// The constraints on a folder's songs; the playlist's second line, the folder's name
// quoted, makes the same playlist again through a shell.
TEST_F(ScanFixture, PickConstraintsOnAFolderAndTheCommandThatRemakesIt) {
  const std::string music = m_dir + "/my \"best\" it's", cache = m_dir + "/cache";
  struct Made {
    const char* file;
    const char* artist;
    int seconds;
  };
  // Ann's longest and Bo's make 7 s; Bo's 2 s song is too short, Cy is excluded.
  const Made songs[] = {{"1.mp3", "Ann", 3}, {"2.mp3", "Ann", 4}, {"3.mp3", "Bo", 3}, {"4.mp3", "Bo", 2},
                        {"5.mp3", "Cy", 5}};
  std::string error;
  for (const Made& made : songs)
    ASSERT_TRUE(WriteFixtureTags(Song(fs::path(music).filename().string() + "/" + made.file, "mp3", made.seconds),
                                 FixtureTags{made.file, {}, made.artist, {}, "Jazz", {}, {}, 0, 0}, error))
        << error;
  std::string tools = TUNYRA_PICK_PATH;
  tools.resize(tools.rfind('/'));
  const ToolSetup setup{"", {"XDG_CACHE_HOME=" + cache, "PATH=" + tools + ":/usr/bin:/bin"}, std::nullopt};
  const ToolResult made = RunTool(TUNYRA_PICK_PATH,
                                  {music, "--check", "4=Jazz", "--exclude", "1=Cy", "--min-length", "0:03",
                                   "--max-per-artist", "1", "--spread", "--shorten", "--fit", "exact"},
                                  setup);
  ASSERT_EQ(made.code, 0) << made.err;
  EXPECT_THAT(made.err, HasSubstr("2 songs, total 7 s"));
  EXPECT_THAT(made.out, HasSubstr("/2.mp3\n"));
  EXPECT_THAT(made.out, HasSubstr("/3.mp3\n"));
  const std::string second = made.out.substr(made.out.find('\n') + 1, made.out.find('\n', 8) - made.out.find('\n') - 1);
  ASSERT_EQ(second.rfind("# tunyra-pick '", 0), 0u) << second;
  const ToolResult again = RunTool("/bin/sh", {"-c", second.substr(2)}, setup);
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(again.out, made.out);
}

}  // namespace
