// A file replaced whole (platform/replacing_file.h) as the tools use it, a scan's library
// (tunyra-scan -o, tunyra-pick's cache): through links with the file's permissions, never
// over a file it may not replace, no temporary left by a signal; and the names of files
// the tools cannot open or write printed with their control characters escaped.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "library/library_file.h"
#include "tests/scan/audio_fixture.h"
#include "tests/support/tool_run.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kScan = TUNYRA_SCAN_PATH, kPick = TUNYRA_PICK_PATH;

std::string Whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int Songs(const std::string& text) {
  tunyra::LibraryFile library;
  std::string error;
  return library.Parse(text, "library", error) ? library.Records().size : -1;
}

// Type, mode, owner and bytes of everything under `dir`: a refusal changes none of it.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator(); ++it) {
    struct stat st {};
    lstat(it->path().c_str(), &st);
    files[it->path()] = std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + " " +
                        (S_ISREG(st.st_mode) ? Whole(it->path()) : "");
  }
  return files;
}

// Hidden files under `dir`: what a scan's temporaries look like.
std::vector<std::string> Hidden(const std::string& dir) {
  std::vector<std::string> hidden;
  for (const auto& [path, what] : Snapshot(dir))
    if (path.find("/.", dir.size()) != std::string::npos) hidden.push_back(path);
  return hidden;
}

// Two songs in `m_music`, and a folder per case that any user may write in, made by a
// shell command that finds an empty scan's library in ../empty.tsv.
class LibraryWrite : public testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(m_dir);
    fs::create_directories(m_music);
    std::ofstream(m_dir + "/empty.tsv") << tunyra::kLibraryFileHeader << '\n';
    std::string error;
    for (const char* name : {"/a.wav", "/b.wav"})
      if (!MakeSilentAudio(m_music + name, 1, error)) GTEST_SKIP() << error;
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string CaseFolder(const std::string& name, const std::string& make = "true") {
    const std::string folder = m_dir + "/" + name;
    fs::create_directories(folder);
    chmod(folder.c_str(), 0777);
    EXPECT_EQ(std::system(("cd '" + folder + "' && " + make).c_str()), 0) << make;
    return folder;
  }

  const std::string m_dir = testing::TempDir() + "tunyra_write_" + std::to_string(getpid()), m_music = m_dir + "/music";
};

TEST_F(LibraryWrite, OutputIsReplacedThroughLinksKeepingItsPermissionsOrLeftAsItWas) {
  const std::string sample = std::string("cp ") + TUNYRA_SAMPLE_LIBRARY + " lib.tsv", longName(251, 'n');
  const uid_t nobody = 65534;
  const struct {
    std::string make;
    std::vector<std::string> options;
    int code;
    std::string message;  // in stderr
    std::string written;  // holds the new library; empty: everything stays as it was
    mode_t mode = 0;      // of `written`, unless 0
    uid_t owner = 0;
    bool asNobody = false;
  } cases[] = {
      {"mkdir a b && cp ../empty.tsv b/lib.tsv && chmod 640 b/lib.tsv && ln -s lib.tsv b/link && ln -s ../b/link a/link",
       {"-o", "a/link"}, 0, "", "b/lib.tsv", 0640},
      {"ln -s new.tsv link", {"-o", "link"}, 0, "", "new.tsv"},
      {"cp ../empty.tsv lib.tsv && chmod 604 lib.tsv && chown 65534:65534 lib.tsv", {"-o", "lib.tsv"}, 0, "",
       "lib.tsv", 0604, nobody},
      {"cp ../empty.tsv lib.tsv && chmod 444 lib.tsv && chown 65534 lib.tsv", {"-o", "lib.tsv"}, 1,
       "lib.tsv: cannot write the library: Permission denied", "", 0, 0, true},
      {"cp ../empty.tsv lib.tsv && ln lib.tsv backup.tsv", {"-o", "lib.tsv"}, 1, "lib.tsv: the file has 2 hard links", ""},
      {"mkfifo lib.tsv", {"-o", "lib.tsv"}, 1, "lib.tsv: not a regular file", ""},
      {sample, {"-o", "lib.tsv"}, 2,
       "lib.tsv:2: the line has no filesize and filetime, so no scan wrote this library\n"
       "(lib.tsv is left as it is; give --replace to replace it with this scan)", ""},
      {sample, {"-o", "lib.tsv", "--replace"}, 0, "", "lib.tsv"},
      {"echo notes > lib.tsv", {"-o", "lib.tsv"}, 2,
       "lib.tsv:1: the first line is not the library-file header\n(lib.tsv is left as it is; give --replace", ""},
      {"touch lib.tsv", {"-o", "lib.tsv"}, 0, "", "lib.tsv"},
      {"true", {"-o", longName + ".tsv"}, 0, "", longName + ".tsv"},
      {"true", {"-o", "gone/lib.tsv"}, 1, "tunyra-scan: gone/lib.tsv: cannot write the library: No such file", ""},
      {"cp ../empty.tsv ./-", {"--output=-"}, 0, "", ""},  // the library on stdout, nothing read from stdin
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.make + " / " + c.options.back());
    if ((c.asNobody || c.owner != 0) && geteuid() != 0) continue;  // made for another user
    const std::string dir = CaseFolder(std::to_string(++n), c.make);
    const auto before = Snapshot(dir);
    std::vector<std::string> args = {m_music};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ToolResult r = RunTool(kScan, args, {dir, {}, c.asNobody ? std::optional(nobody) : std::nullopt});
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_THAT(r.err, HasSubstr(c.message));
    EXPECT_THAT(Hidden(dir), IsEmpty());
    if (c.written.empty()) {
      EXPECT_EQ(Snapshot(dir), before);
      EXPECT_EQ(c.code == 0 ? Songs(r.out) : int(r.out.size()), c.code == 0 ? 2 : 0);
      continue;
    }
    struct stat st {};
    EXPECT_EQ(lstat((dir + "/" + c.written).c_str(), &st), 0);
    EXPECT_EQ(Songs(Whole(dir + "/" + c.written)), 2);
    EXPECT_EQ(st.st_mode & 07777, c.mode != 0 ? c.mode : st.st_mode & 07777);
    EXPECT_EQ(st.st_uid, c.owner);
    EXPECT_EQ(fs::is_symlink(dir + "/" + c.options[1]), c.options[1] != c.written);
  }
}

TEST_F(LibraryWrite, NoTemporaryOutlivesASignalAndTheNextRunClearsAKilledOnes) {
  for (const std::string& tool : {kScan, kPick})
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
      const std::string dir = CaseFolder(fs::path(tool).filename().string() + " " + strsignal(signal));
      SCOPED_TRACE(dir);
      const std::string temps = tool == kPick ? dir + "/tunyra" : dir;  // the cache's folder
      const std::vector<std::string> args = {m_music, tool == kPick ? "--list" : "-o",
                                             tool == kPick ? "genre" : dir + "/lib.tsv"};
      StoppedTerminal terminal;
      ToolSetup setup{"", {"XDG_CACHE_HOME=" + dir}, std::nullopt, terminal.tool};
      ToolResult held = StartTool(tool, args, setup);
      for (int wait = 0; wait < 6000 && Hidden(temps).empty(); ++wait) usleep(10000);
      ASSERT_EQ(Hidden(temps).size(), 1u);
      // The temporary of a process that still runs is not another scan's to clear.
      EXPECT_EQ(RunTool(kScan, {m_music, "-o", temps + "/other.tsv"}).code, 0);
      EXPECT_EQ(Hidden(temps).size(), 1u);
      kill(held.pid, signal);
      EXPECT_EQ(FinishTool(held).signal, signal);
      EXPECT_EQ(Hidden(temps).size(), signal == SIGKILL ? 1u : 0u);
      setup.errFd = -1;
      EXPECT_EQ(RunTool(tool, args, setup).code, 0);
      EXPECT_THAT(Hidden(temps), IsEmpty());
    }
}

TEST_F(LibraryWrite, OnlyTemporariesOfProcessesThatAreGoneAreCleared) {
  // Above the largest process number the system hands out: never a running process.
  const std::string dead = std::to_string(std::stol(Whole("/proc/sys/kernel/pid_max")) + 1);
  const std::string live = ".lib.tsv.tmp-" + std::to_string(getpid());
  const std::string dir = CaseFolder("stale", "touch .tunyra-" + dead + ".tmp .lib.tsv.tmp-" + dead + " .notes.tsv.tmp-" +
                                                  dead + " .tunyra-" + dead + "1.tmp .tunyra-" + dead + ".tmp.part " + live);
  // The older form is cleared for this library only and has no lock; a lock held is a
  // live scan on another machine sharing the folder.
  const int lock = open((dir + "/.tunyra-" + dead + "1.tmp").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  EXPECT_EQ(RunTool(kScan, {m_music, "-o", dir + "/lib.tsv"}).code, 0);
  close(lock);
  EXPECT_EQ(Hidden(dir), (std::vector<std::string>{dir + "/" + live, dir + "/.notes.tsv.tmp-" + dead,
                                                   dir + "/.tunyra-" + dead + ".tmp.part", dir + "/.tunyra-" + dead + "1.tmp"}));

  // A scan given the number of a killed one: PID 1, in a namespace of its own.
  if (geteuid() != 0) return;
  std::ofstream(dir + "/.tunyra-1.tmp") << "part of a library";
  EXPECT_EQ(RunTool("/usr/bin/unshare", {"--pid", "--fork", kScan, m_music, "-o", dir + "/lib.tsv"}).code, 0);
  EXPECT_FALSE(fs::exists(dir + "/.tunyra-1.tmp"));
}

TEST_F(LibraryWrite, FileNamesArePrintedWithTheirControlCharactersEscaped) {
  const std::string evil = CaseFolder("evil", "touch 'a\n  forged.mp3: x.mp3' \"$(printf '\\033[2J.mp3')\"");
  const std::string real = fs::canonical(evil);
  const std::pair<std::vector<std::string>, std::string> cases[] = {  // tunyra-pick unless -o
      {{evil, "-o", "lib.tsv"}, "\n  \"" + real + "/a\\n  forged.mp3: x.mp3\": empty file\n"},
      {{evil, "--list", "genre"}, "\n  \"" + real + "/\\x1b[2J.mp3\": empty file\n"},
      {{m_music, "-o", "gone\x1b]0;t\a/lib.tsv"}, ": \"gone\\x1b]0;t\\x07/lib.tsv\": cannot write"},
      {{"C:\\Music\\\"x\".tsv"}, ": C:\\Music\\\"x\".tsv: cannot open"},
      {{"caf\xc3\xa9"}, ": caf\xc3\xa9: cannot open"},
      {{"caf\xe9 \xe2\x80\xae" "evil"}, ": \"caf\\xe9 \\xe2\\x80\\xaeevil\": cannot open"},
      {{"tab\tcr\r"}, ": \"tab\\tcr\\r\": cannot open"},
      {{"\x7f\xc2\x9b\x9b"}, ": \"\\x7f\\xc2\\x9b\\x9b\": cannot open"},
      {{"\"q\\\n"}, ": \"\\\"q\\\\\\n\": cannot open"},
  };
  for (const auto& [args, printed] : cases) {
    SCOPED_TRACE(printed);
    const bool scan = args.size() > 1 && args[1] == "-o";
    const ToolResult r = RunTool(scan ? kScan : kPick, args, {evil, {"XDG_CACHE_HOME=" + m_dir}, std::nullopt});
    EXPECT_THAT(r.err, HasSubstr(printed));
    for (char ch : r.err) EXPECT_TRUE(static_cast<unsigned char>(ch) >= 0x20 || ch == '\n') << int(ch);
  }
}

}  // namespace
