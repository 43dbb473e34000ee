// tunyra as a user runs it: inside tmux at a fixed size, against a private MPD, driven
// with send-keys and read back with capture-pane. What MPD holds afterwards is read
// with mpc. Every wait has a bound.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "tests/scan/audio_fixture.h"
#include "tests/support/private_mpd.h"
#include "tests/support/tool_run.h"

namespace {

constexpr auto kBound = std::chrono::seconds(15);

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// One tmux server of its own (a socket in a temporary folder) with one session that
// runs tunyra through a script: the terminal's settings are saved before and after, and
// the exit code kept.
class TunyraInTmux : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(MissingAudioTools(), "");
    char folder[] = "/tmp/tunyra-tmux-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    m_folder = folder;
    struct Track {
      const char* file;
      int seconds;
      const char *title, *artist, *genre;
    } tracks[] = {
        {"jazz/a.flac", 2, "Alpha", "Bea", "Jazz"},
        {"jazz/b.ogg", 3, "Beta", "Bea", "Jazz"},
        {"rock/c.mp3", 4, "Gamma", "Cal", "Rock"},
        {"rock/d.flac", 3, "Delta", "Cal", "Rock"},
        {"cjk/e.flac", 2, "東京の夜", "山田太郎", "ジェイポップとロックの夜"},
    };
    for (const Track& t : tracks) {
      const std::string path = m_mpd.MusicDirectory() + "/" + t.file;
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      std::string error;
      ASSERT_TRUE(MakeSilentAudio(path, t.seconds, error)) << error;
      FixtureTags tags;
      tags.title = t.title;
      tags.artist = t.artist;
      tags.genre = t.genre;
      tags.album = "Album";
      ASSERT_TRUE(WriteFixtureTags(path, tags, error)) << error;
    }
    std::string error;
    ASSERT_TRUE(m_mpd.Start(MpdSetup(), error)) << error;
  }
  virtual PrivateMpdSetup MpdSetup() const { return {}; }
  void TearDown() override {
    if (m_started) Tmux({"kill-server"});
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }

  ToolResult Tmux(std::vector<std::string> args) {
    args.insert(args.begin(), {"-S", m_folder + "/tmux.sock"});
    return RunTool("/usr/bin/tmux", args);
  }

  // `library` and `environment` (NAME=value ...): MPD's database by default. Waits for the
  // dialog unless `dialog` is false.
  void Launch(int width, int height, const std::string& arguments = "--minutes 5", std::string library = "",
              const std::string& environment = "", bool dialog = true) {
    if (library.empty()) library = "mpd:" + m_mpd.Socket();
    const std::string script = m_folder + "/run.sh";
    // The shell outlives a Ctrl-C (a trap of a command is no trap in its children).
    std::ofstream(script) << "trap true INT\nstty -g > '" << m_folder << "/before'\n"
                          << "LANG=C.UTF-8 TUNYRA_SEED=7 " << environment << " '" << TUNYRA_PATH << "' '" << library << "' "
                          << arguments << "\n"
                          << "echo $? > '" << m_folder << "/code.new'; mv '" << m_folder << "/code.new' '"
                          << m_folder << "/code'\n"
                          << "stty -g > '" << m_folder << "/after'\n"
                          << "exec sleep 600\n";
    // A server still ending (after kill-server) refuses the session for a moment.
    ToolResult started;
    ASSERT_TRUE(WaitUntil([&] {
      started = Tmux({"new-session", "-d", "-s", "t", "-x", std::to_string(width), "-y", std::to_string(height),
                      "sh '" + script + "'"});
      return started.code == 0;
    })) << started.err;
    m_started = true;
    Tmux({"set-option", "-t", "t", "window-size", "manual"});
    if (dialog) {
      ASSERT_TRUE(WaitFor("Genre")) << Screen();
    }
  }

  void Keys(const std::vector<std::string>& keys) {
    std::vector<std::string> args{"send-keys", "-t", "t"};
    args.insert(args.end(), keys.begin(), keys.end());
    ASSERT_EQ(Tmux(args).code, 0);
  }
  void Type(const std::string& text) { ASSERT_EQ(Tmux({"send-keys", "-t", "t", "-l", text}).code, 0); }
  std::string Screen() { return Tmux({"capture-pane", "-p", "-t", "t"}).out; }

  bool WaitUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + kBound;
    while (std::chrono::steady_clock::now() < end) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
  }
  bool WaitFor(const std::string& text) {
    return WaitUntil([&] { return Screen().find(text) != std::string::npos; });
  }
  std::string Queue() { return m_mpd.Mpc({"playlist", "-f", "%file%"}); }

  // The screen line holding `text`.
  std::string LineWith(const std::string& text) {
    std::istringstream lines(Screen());
    for (std::string line; std::getline(lines, line);)
      if (line.find(text) != std::string::npos) return line;
    return "";
  }

  PrivateMpd m_mpd;
  std::string m_folder;
  bool m_started = false;
};

// Terminal cells that `text` (UTF-8) takes.
int Cells(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  std::setlocale(LC_CTYPE, "C.UTF-8");
  const size_t n = std::mbstowcs(wide.data(), text.c_str(), wide.size());
  if (n == size_t(-1)) return -1;
  return wcswidth(wide.c_str(), n);
}

TEST_F(TunyraInTmux, TickGenreFindReplaceTheQueue) {
  Launch(80, 24);
  // Tab to the genre column, search for rock, tick it, find.
  Keys({"Tab", "Tab", "Tab", "/"});
  Type("roc");
  Keys({"Enter", "Space", "f"});
  // Two rock songs of 7 s cannot make 5 minutes: the dialog's question, answered OK.
  ASSERT_TRUE(WaitFor("less than")) << Screen();
  ASSERT_TRUE(WaitFor("OK (y, Enter)")) << Screen();
  Keys({"y"});
  ASSERT_TRUE(WaitFor("Playlist: 2 songs")) << Screen();
  EXPECT_NE(Screen().find("Gamma"), std::string::npos);
  Keys({"r"});
  ASSERT_TRUE(WaitFor("The queue is now the 2 songs.")) << Screen();
  const std::string queue = Queue();
  EXPECT_NE(queue.find("rock/c.mp3"), std::string::npos) << queue;
  EXPECT_NE(queue.find("rock/d.flac"), std::string::npos) << queue;
  EXPECT_EQ(queue.find("jazz"), std::string::npos) << queue;
  ASSERT_TRUE(WaitFor("MPD: 2 songs, 0:07 in the queue")) << Screen();

  // Smaller than the program needs, then larger: it says so, then draws again.
  ASSERT_EQ(Tmux({"resize-window", "-t", "t", "-x", "60", "-y", "20"}).code, 0);
  ASSERT_TRUE(WaitFor("at least 80x24; this one is 60x20")) << Screen();
  ASSERT_EQ(Tmux({"resize-window", "-t", "t", "-x", "200", "-y", "50"}).code, 0);
  ASSERT_TRUE(WaitFor("Playlist: 2 songs")) << Screen();
  Keys({"Escape"});
  ASSERT_TRUE(WaitFor("Genre 1/3")) << Screen();
  // Columns of a quarter of 200 cells: the second starts at cell 50.
  const std::string header = LineWith("Title");
  EXPECT_EQ(Cells(header.substr(0, header.find("Or  Title"))), 50) << header;
  Keys({"q"});
  ASSERT_TRUE(WaitUntil([&] { return ReadWhole(m_folder + "/code") == "0\n"; }));
}

// xterm's mouse report of a press (button 0) or a wheel notch (64 up, 65 down) at a
// cell, as the terminal sends it; tmux passes it on when the program asked for the mouse.
std::string MouseReport(int button, int x, int y) {
  return std::string("\033[M") + char(32 + button) + char(33 + x) + char(33 + y);
}

TEST_F(TunyraInTmux, AppendSaveAndTheMouse) {
  Launch(80, 24, "--minutes 5");
  // A click on the Jazz row (row 2 of the genre column, at cell 60) ticks it.
  ASSERT_TRUE(WaitFor("[ ] Jazz")) << Screen();
  Type(MouseReport(0, 64, 2) + MouseReport(3, 64, 2));
  ASSERT_TRUE(WaitFor("[x] Jazz")) << Screen();
  Keys({"f"});
  ASSERT_TRUE(WaitFor("OK (y, Enter)")) << Screen();
  Keys({"Enter"});
  ASSERT_TRUE(WaitFor("Playlist: 2 songs")) << Screen();
  Keys({"a"});
  ASSERT_TRUE(WaitFor("were added to the queue")) << Screen();
  Keys({"a"});
  ASSERT_TRUE(WaitFor("MPD: 4 songs")) << Screen();
  Keys({"s"});
  ASSERT_TRUE(WaitFor("Save as the stored playlist:")) << Screen();
  Type("evening walk");
  Keys({"Enter"});
  ASSERT_TRUE(WaitFor("Saved as the playlist")) << Screen();
  const std::string saved = m_mpd.Mpc({"playlist", "evening walk"});
  EXPECT_NE(saved.find("Alpha"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Beta"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("Gamma"), std::string::npos) << saved;
  // The too-short question answered Cancel: back to the dialog, nothing found.
  Keys({"Escape", "f"});
  ASSERT_TRUE(WaitFor("OK (y, Enter)")) << Screen();
  Keys({"n"});
  ASSERT_TRUE(WaitFor("Cancelled")) << Screen();
  EXPECT_EQ(Screen().find("Playlist:"), std::string::npos);
}

TEST_F(TunyraInTmux, CjkValuesLineUp) {
  Launch(80, 24);
  ASSERT_TRUE(WaitFor("山田太郎")) << Screen();
  // Each column is 20 cells wide whatever its text: the title column's box starts at
  // cell 20 on the line of the CJK artist, as on every line.
  const std::string line = LineWith("山田太郎");
  const size_t second = line.find("[ ]", 3);
  ASSERT_NE(second, std::string::npos) << line;
  EXPECT_EQ(Cells(line.substr(0, second)), 20) << line;
  // A value wider than its column ends at the last whole character that fits in its
  // 19 cells (a double-width one is never cut), in the last column too.
  const std::string genre = LineWith("ジェイポップ");
  EXPECT_EQ(Cells(genre.substr(0, genre.find("[ ] ジェイポップ"))), 60) << genre;
  EXPECT_EQ(genre.substr(genre.find("[ ] ジェイポップ")), "[ ] ジェイポップと") << genre;
}

TEST_F(TunyraInTmux, MpdStoppedWhileRunning) {
  Launch(80, 24);
  ASSERT_TRUE(WaitFor("in the queue")) << Screen();
  m_mpd.Kill();
  ASSERT_TRUE(WaitFor("cannot reach MPD")) << Screen();
  // Still usable: tick, find, and the hand-off's failure in the status line.
  Keys({"Tab", "Tab", "Tab", "Space", "d", "f"});
  ASSERT_TRUE(WaitFor("Playlist:")) << Screen();
  Keys({"r"});
  ASSERT_TRUE(WaitUntil([&] { return LineWith("MPD:").find("cannot reach MPD") != std::string::npos; }))
      << Screen();
  Keys({"Escape", "Space"});
  ASSERT_TRUE(WaitFor("Genre 0/3")) << Screen();
}

TEST_F(TunyraInTmux, CtrlCRestoresTheTerminal) {
  Launch(80, 24);
  Keys({"C-c"});
  ASSERT_TRUE(WaitUntil([&] { return !ReadWhole(m_folder + "/after").empty(); })) << Screen();
  EXPECT_EQ(ReadWhole(m_folder + "/code"), "130\n");
  EXPECT_EQ(ReadWhole(m_folder + "/after"), ReadWhole(m_folder + "/before"));
}

// A fatal signal (a crash) still leaves the terminal as it was.
TEST_F(TunyraInTmux, FatalSignalRestoresTheTerminal) {
  Launch(80, 24);
  // tunyra is the one child of the pane's shell.
  const std::string shell = Tmux({"display-message", "-p", "-t", "t", "#{pane_pid}"}).out;
  const std::string children = ReadWhole("/proc/" + std::to_string(std::stoi(shell)) + "/task/" +
                                         std::to_string(std::stoi(shell)) + "/children");
  ASSERT_FALSE(children.empty());
  ASSERT_EQ(::kill(std::stoi(children), SIGSEGV), 0);
  ASSERT_TRUE(WaitUntil([&] { return !ReadWhole(m_folder + "/after").empty(); })) << Screen();
  EXPECT_EQ(ReadWhole(m_folder + "/code"), std::to_string(128 + SIGSEGV) + "\n");
  EXPECT_EQ(ReadWhole(m_folder + "/after"), ReadWhole(m_folder + "/before"));
}

}  // namespace

namespace {

class TunyraWithPassword : public TunyraInTmux {
 protected:
  PrivateMpdSetup MpdSetup() const override { return {"secret"}; }
};

// A library file, the picks for an MPD that wants a password: a wrong one is said in the
// status line, and the program goes on; the right one lets the queue be replaced.
TEST_F(TunyraWithPassword, RefusalInTheStatusLine) {
  Launch(80, 24, "--minutes 5", TUNYRA_SAMPLE_LIBRARY, "MPD_HOST='wrong@" + m_mpd.Socket() + "'");
  ASSERT_TRUE(WaitUntil([&] { return LineWith("MPD:").find("password") != std::string::npos; })) << Screen();
  Keys({"Tab", "Tab", "Tab", "/"});
  Type("Jazz");
  Keys({"Enter", "Space", "f"});
  ASSERT_TRUE(WaitFor("Playlist:")) << Screen();
  Keys({"r"});
  ASSERT_TRUE(WaitFor("Playlist:")) << Screen();
  EXPECT_EQ(Screen().find("The queue is now"), std::string::npos);
  EXPECT_EQ(m_mpd.Mpc({"playlist"}), "");
}

// MPD as the library with a wrong password: the program ends before its screen, with
// tunyra-pick's exit code for a refused password, and says why.
TEST_F(TunyraWithPassword, LibraryRefusedEndsWithItsExitCode) {
  Launch(80, 24, "", "mpd:wrong@" + m_mpd.Socket(), "", false);
  ASSERT_TRUE(WaitUntil([&] { return !ReadWhole(m_folder + "/code").empty(); })) << Screen();
  EXPECT_EQ(ReadWhole(m_folder + "/code"), "8\n");
  EXPECT_NE(Screen().find("password"), std::string::npos) << Screen();
}

// Colours unless NO_COLOR is set: the screen's escape sequences read back with -e.
TEST_F(TunyraInTmux, NoColorMeansNoColours) {
  for (const bool noColor : {false, true}) {
    SCOPED_TRACE(noColor ? "NO_COLOR=1" : "colours");
    Launch(80, 24, "--minutes 5", "", noColor ? "NO_COLOR=1" : "");
    const std::string escaped = Tmux({"capture-pane", "-p", "-e", "-t", "t"}).out;
    // SGR 36 (cyan, the titles) only with colours.
    EXPECT_EQ(escaped.find("36m") != std::string::npos || escaped.find(";36") != std::string::npos, !noColor)
        << escaped;
    Tmux({"kill-server"});
    m_started = false;
  }
}

}  // namespace
