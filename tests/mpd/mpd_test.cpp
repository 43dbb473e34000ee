// MPD's songs read, and playlists handed to it, against a private MPD per test. What
// MPD holds afterwards is read back with mpc, MPD's own client, not from our state.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "mpd/mpd_playlist.h"
#include "mpd/mpd_songs.h"
#include "tests/scan/audio_fixture.h"
#include "tests/support/private_mpd.h"
#include "tests/support/tool_run.h"

using namespace tunyra;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

struct Track {
  std::string file;  // under the music folder
  int seconds;
  FixtureTags tags;
};

class Mpd : public ::testing::Test {
 protected:
  // Four songs: three tagged, one bare.
  void Start(const PrivateMpdSetup& setup = {}) {
    ASSERT_EQ(MissingAudioTools(), "");
    const std::vector<Track> tracks = {
        {"jazz/a.flac", 2, Tags("Alpha", "Blue", "Bea", "Jazz", "2001-05-01", 3, "Various", "1")},
        {"jazz/b.ogg", 3, Tags("Beta", "Blue", "Bea", "Jazz", "1999", 4, "", "")},
        {"rock/c.mp3", 4, Tags("Gamma", "Loud", "Cal", "Rock", "", 0, "", "2")},
        {"bare.flac", 1, {}},
    };
    for (const Track& t : tracks) {
      const std::string path = m_mpd.MusicDirectory() + "/" + t.file;
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      std::string error;
      ASSERT_TRUE(MakeSilentAudio(path, t.seconds, error)) << error;
      ASSERT_TRUE(WriteFixtureTags(path, t.tags, error)) << error;
    }
    std::string error;
    ASSERT_TRUE(m_mpd.Start(setup, error)) << error;
  }
  static FixtureTags Tags(const char* title, const char* album, const char* artist, const char* genre,
                          const char* date, unsigned track, const char* albumArtist, const char* disc) {
    FixtureTags tags;
    tags.title = title;
    tags.album = album;
    tags.artist = artist;
    tags.genre = genre;
    if (*date) tags.year = static_cast<unsigned>(std::atoi(date));
    tags.track = track;
    if (*albumArtist) tags.albumArtist = albumArtist;
    if (*disc) tags.disc = disc;
    return tags;
  }
  std::unique_ptr<MpdSession> Connect(const std::string& address, MpdError& error) {
    return MpdSession::Connect(address, error);
  }
  std::unique_ptr<MpdSession> Connect() {
    MpdError error;
    auto session = MpdSession::Connect(m_mpd.Socket(), error);
    EXPECT_TRUE(session) << error.message;
    return session;
  }
  std::string Queue() { return m_mpd.Mpc({"playlist", "-f", "%file%"}); }

  PrivateMpd m_mpd;
};

// A FLAC whose stream information gives no total of samples: MPD knows no duration.
void ForgetFlacLength(const std::string& path) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  char bytes[26];
  file.read(bytes, sizeof bytes);
  bytes[21] = static_cast<char>(bytes[21] & 0xF0);  // the total's top four bits, then four bytes
  std::fill(bytes + 22, bytes + 26, '\0');
  file.seekp(0);
  file.write(bytes, sizeof bytes);
}

TEST_F(Mpd, ReadsEverySongWithItsFields) {
  std::string made;
  ASSERT_TRUE(MakeSilentAudio(m_mpd.MusicDirectory() + "/untimed.flac", 2, made)) << made;
  ForgetFlacLength(m_mpd.MusicDirectory() + "/untimed.flac");
  Start();
  auto session = Connect();
  ASSERT_TRUE(session);
  std::map<std::string, MpdSong> songs;
  MpdError error;
  ASSERT_TRUE(ReadMpdSongs(*session, [&](const MpdSong& s) { songs[s.uri] = s; }, error)) << error.message;
  ASSERT_EQ(songs.size(), 5u);
  const MpdSong& a = songs["jazz/a.flac"];
  EXPECT_EQ(a.title, "Alpha");
  EXPECT_EQ(a.album, "Blue");
  EXPECT_EQ(a.artist, "Bea");
  EXPECT_EQ(a.genre, "Jazz");
  EXPECT_EQ(a.year, 2001);
  EXPECT_EQ(a.track, 3);
  EXPECT_EQ(a.albumArtist, "Various");
  EXPECT_EQ(a.disc, "1");
  EXPECT_EQ(a.lengthSeconds, 2);
  EXPECT_EQ(songs["jazz/b.ogg"].lengthSeconds, 3);
  EXPECT_EQ(songs["rock/c.mp3"].lengthSeconds, 4);  // an MP3 of 4 s decodes a little longer
  EXPECT_EQ(songs["bare.flac"].title, "");
  EXPECT_EQ(songs["bare.flac"].year, 0);
  EXPECT_EQ(songs["untimed.flac"].lengthSeconds, -1);
}

TEST_F(Mpd, ReadsLargeDatabasesWindowByWindow) {
  // More songs than one window, each a copy of one file.
  ASSERT_EQ(MissingAudioTools(), "");
  const std::string first = m_mpd.MusicDirectory() + "/0.flac";
  std::string error;
  ASSERT_TRUE(MakeSilentAudio(first, 1, error)) << error;
  const unsigned count = kMpdWindow + 7;
  for (unsigned i = 1; i < count; ++i) ASSERT_TRUE(CopyWholeFile(first, m_mpd.MusicDirectory() + "/" + std::to_string(i) + ".flac"));
  ASSERT_TRUE(m_mpd.Start({}, error)) << error;
  auto session = Connect();
  ASSERT_TRUE(session);
  std::set<std::string> uris;
  MpdError failed;
  ASSERT_TRUE(ReadMpdSongs(*session, [&](const MpdSong& s) { uris.insert(s.uri); }, failed)) << failed.message;
  EXPECT_EQ(uris.size(), count);

  // MPD ends while its songs are read: the next window finds the connection gone.
  session = Connect();
  ASSERT_TRUE(session);
  EXPECT_FALSE(ReadMpdSongs(*session, [&](const MpdSong&) { m_mpd.Kill(); }, failed));
  EXPECT_EQ(failed.failure, MpdFailure::Lost) << failed.message;
  EXPECT_THAT(failed.message, HasSubstr("while reading its songs"));
}

TEST_F(Mpd, QueueReplacedOrAddedToAndPlayed) {
  Start();
  auto session = Connect();
  ASSERT_TRUE(session);
  const std::vector<std::string> picks = {"rock/c.mp3", "jazz/a.flac"};
  struct Case {
    const char* name;
    MpdQueueMode mode;
    bool play;
    std::string queue;    // after, given "bare.flac" before
    std::string current;  // the song playing, "" when stopped
  };
  const Case cases[] = {
      {"replace", MpdQueueMode::Replace, false, "rock/c.mp3\njazz/a.flac\n", ""},
      {"replace and play", MpdQueueMode::Replace, true, "rock/c.mp3\njazz/a.flac\n", "rock/c.mp3\n"},
      {"append and play", MpdQueueMode::Append, true, "bare.flac\nrock/c.mp3\njazz/a.flac\n", "rock/c.mp3\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_mpd.Mpc({"clear"});
    m_mpd.Mpc({"add", "bare.flac"});
    MpdError error;
    ASSERT_TRUE(HandToMpdQueue(*session, picks, c.mode, c.play, error)) << error.message;
    EXPECT_EQ(Queue(), c.queue);
    EXPECT_EQ(m_mpd.Mpc({"current", "-f", "%file%"}), c.current);
    m_mpd.Mpc({"stop"});
  }
}

TEST_F(Mpd, SavedTwiceUnderOneNameHoldsTheSecond) {
  Start();
  auto session = Connect();
  ASSERT_TRUE(session);
  MpdError error;
  ASSERT_TRUE(SaveMpdPlaylist(*session, "evening walk", {"jazz/a.flac", "jazz/b.ogg"}, error)) << error.message;
  ASSERT_TRUE(SaveMpdPlaylist(*session, "evening walk", {"rock/c.mp3"}, error)) << error.message;
  EXPECT_EQ(m_mpd.Mpc({"lsplaylists"}), "evening walk\n");
  EXPECT_EQ(m_mpd.Mpc({"playlist", "-f", "%file%", "evening walk"}), "rock/c.mp3\n");
  // A song MPD does not know: the older playlist of that name stays whole.
  EXPECT_FALSE(SaveMpdPlaylist(*session, "evening walk", {"jazz/a.flac", "nothere.flac"}, error));
  EXPECT_THAT(error.message, HasSubstr("adding the song nothere.flac to the playlist evening walk: No such"));
  EXPECT_EQ(m_mpd.Mpc({"lsplaylists"}), "evening walk\n");
  EXPECT_EQ(m_mpd.Mpc({"playlist", "-f", "%file%", "evening walk"}), "rock/c.mp3\n");
}

TEST_F(Mpd, FileNamesOfALibraryBecomeMpdsNames) {
  Start({.password = "", .tcp = true});
  auto local = Connect();
  ASSERT_TRUE(local);
  MpdError error;
  auto remote = Connect("127.0.0.1:" + std::to_string(m_mpd.Port()), error);
  ASSERT_TRUE(remote) << error.message;
  const MpdSongNames overSocket(*local), overTcp(*remote);
  const std::string inside = m_mpd.MusicDirectory() + "/jazz/a.flac";
  struct Case {
    const MpdSongNames* names;
    std::string file, uri;  // "" uri: refused
  };
  const Case cases[] = {
      {&overSocket, inside, "jazz/a.flac"},
      {&overSocket, "jazz/b.ogg", "jazz/b.ogg"},
      {&overSocket, "/elsewhere/x.flac", "file:///elsewhere/x.flac"},
      {&overTcp, "jazz/b.ogg", "jazz/b.ogg"},
      {&overTcp, "/elsewhere/x.flac", ""},
      {&overTcp, inside, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string uri, why;
    EXPECT_EQ(c.names->NameOf(c.file, uri, why), !c.uri.empty());
    if (c.uri.empty()) {
      // Over TCP the music directory is unknown: the path may well lie inside it.
      EXPECT_THAT(why, HasSubstr(c.file + " is a path on this computer; over TCP MPD does not say where"));
    } else {
      EXPECT_EQ(uri, c.uri);
    }
  }
}

TEST_F(Mpd, AQueueThatCannotBeReplacedStaysAsItWas) {
  Start();
  auto session = Connect();
  ASSERT_TRUE(session);
  m_mpd.Mpc({"add", "bare.flac"});
  m_mpd.Mpc({"add", "jazz/b.ogg"});
  const std::string before = Queue();
  for (MpdQueueMode mode : {MpdQueueMode::Replace, MpdQueueMode::Append}) {
    MpdError error;
    EXPECT_FALSE(HandToMpdQueue(*session, {"rock/c.mp3", "nothere.flac", "jazz/a.flac"}, mode, true, error));
    EXPECT_EQ(error.failure, MpdFailure::Rejected);
    EXPECT_THAT(error.message, HasSubstr("adding the song nothere.flac: No such"));
    EXPECT_EQ(Queue(), before);
    EXPECT_EQ(m_mpd.Mpc({"current"}), "") << "started playing";
  }
}

// MPD closes the connection part-way: a command list grows past its
// max_command_list_size, 63 KiB here. Our lists hold at most 64 KiB of commands: 22
// songs whose names take 2,900 bytes make one of 63,954 bytes, which MPD takes, as a 23rd
// would not fit; it and the short names after it fill the next list past MPD's size.
// What went in before is taken out again.
TEST_F(Mpd, AQueueWhoseConnectionDropsStaysAsItWas) {
  std::string longName;
  while (longName.size() + 201 <= 2850) longName += std::string(200, 'd') + "/";
  longName += std::string(2900 - longName.size() - 5, 'f') + ".flac";
  const std::string path = m_mpd.MusicDirectory() + "/" + longName;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::string made;
  ASSERT_TRUE(MakeSilentAudio(path, 1, made)) << made;
  Start({.password = "", .tcp = false, .maxCommandListKb = 63});
  auto session = Connect();
  ASSERT_TRUE(session);
  m_mpd.Mpc({"add", "bare.flac"});
  const std::string before = Queue();
  std::vector<std::string> picks(23, longName);
  picks.insert(picks.end(), 5000, "jazz/a.flac");
  for (MpdQueueMode mode : {MpdQueueMode::Replace, MpdQueueMode::Append}) {
    MpdError error;
    EXPECT_FALSE(HandToMpdQueue(*session, picks, mode, true, error));
    EXPECT_EQ(error.failure, MpdFailure::Lost) << error.message;
    EXPECT_THAT(error.message, HasSubstr("songs added before that were taken out again"));
    const std::string after = Queue();
    EXPECT_TRUE(after == before) << "the queue holds " << std::count(after.begin(), after.end(), '\n') << " songs";
    EXPECT_EQ(m_mpd.Mpc({"current"}), "") << "started playing";
  }
  MpdError error;
  EXPECT_FALSE(SaveMpdPlaylist(*session, "evening", picks, error));
  EXPECT_EQ(error.failure, MpdFailure::Lost) << error.message;
  EXPECT_EQ(m_mpd.Mpc({"lsplaylists"}), "") << "a half-written playlist was left";
}

// A Unix socket whose server greets with something that is not MPD.
class NotMpd {
 public:
  explicit NotMpd(const std::string& path) {
    m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_fd, 1);
    m_thread = std::thread([this] {
      const int client = ::accept(m_fd, nullptr, nullptr);
      if (client < 0) return;
      const char greeting[] = "SSH-2.0-OpenSSH_9.2\r\n";
      (void)!::send(client, greeting, sizeof greeting - 1, MSG_NOSIGNAL);
      char buffer[256];
      (void)!::read(client, buffer, sizeof buffer);
      ::close(client);
    });
  }
  ~NotMpd() {
    ::shutdown(m_fd, SHUT_RDWR);
    ::close(m_fd);
    m_thread.join();
  }

 private:
  int m_fd;
  std::thread m_thread;
};

TEST_F(Mpd, EachFailureHasItsOwnKindAndWords) {
  Start({.password = "secret", .tcp = false});
  const std::string notMpdPath = m_mpd.MusicDirectory() + "/../not-mpd";
  NotMpd notMpd(notMpdPath);

  struct Case {
    const char* name;
    std::string address;
    MpdFailure failure;
    const char* words;
  };
  const Case cases[] = {
      {"no MPD there", m_mpd.MusicDirectory() + "/../no-socket", MpdFailure::Unreachable, "cannot reach MPD"},
      {"not MPD", notMpdPath, MpdFailure::Unreachable, "not MPD"},
      {"no password", m_mpd.Socket(), MpdFailure::Refused, "password"},
      {"wrong password", "wrong@" + m_mpd.Socket(), MpdFailure::Refused, "password"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MpdError failed;
    auto session = Connect(c.address, failed);
    if (session) {
      ReadMpdSongs(*session, [](const MpdSong&) {}, failed);
    }
    EXPECT_EQ(failed.failure, c.failure) << failed.message;
    EXPECT_THAT(failed.message, HasSubstr(c.words));
  }
  // The right password reads everything.
  MpdError failed;
  auto session = Connect("secret@" + m_mpd.Socket(), failed);
  ASSERT_TRUE(session) << failed.message;
  size_t count = 0;
  EXPECT_TRUE(ReadMpdSongs(*session, [&](const MpdSong&) { ++count; }, failed)) << failed.message;
  EXPECT_EQ(count, 4u);
  // Killed: the next connection finds nobody.
  m_mpd.Kill();
  session = Connect("secret@" + m_mpd.Socket(), failed);
  EXPECT_FALSE(session);
  EXPECT_EQ(failed.failure, MpdFailure::Unreachable);
}

// tunyra-pick as a user runs it against this MPD: the library mpd:SOCKET, or a file or
// folder with MPD_HOST naming the socket.
TEST_F(Mpd, PickReadsFromAndHandsToMpd) {
  Start({.password = "secret", .tcp = false});
  const std::string mpd = "mpd:secret@" + m_mpd.Socket(), music = m_mpd.MusicDirectory();
  const std::string host = "MPD_HOST=secret@" + m_mpd.Socket();
  const std::string unknown = m_mpd.MusicDirectory() + "/../unknown.tsv";
  std::ofstream(unknown) << "filename\ttitle\talbum\tartist\tcomment\tgenre\tyear\ttrack\tlength\textended\n"
                         << music << "/jazz/a.flac\tA\t\t\t\tJazz\t0\t0\t2\t\n/elsewhere/gone.flac\tB\t\t\t\tJazz\t0\t0\t3\t\n";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string env;
    int code;
    std::string out;    // exactly, or "*" for any
    std::string queue;  // mpc's queue after, file names
    const char* err;    // in stderr
    std::string output = "";  // a file for stdout, if not captured
    const char* absent = "";  // in neither stdout nor stderr
  };
  const std::string before = "bare.flac\n";
  const Case cases[] = {
      {"list", {mpd, "--list", "genre"}, "", 0, "(no genre)\nJazz\nRock\n", before, ""},
      {"replace and play, quiet", {mpd, "--check", "4=Rock", "--minutes", "5", "--duplicates", "--seed", "1",
                                   "--to-mpd", "replace", "--play", "--quiet"}, "", 0, "",
       std::string(75, 'x'), "songs, total"},
      {"a folder's songs by MPD's names", {music, "--check", "1=Cal", "--minutes", "5", "--shorten", "--to-mpd", "append"},
       host, 0, "*", before + "rock/c.mp3\n", ""},
      {"saved", {mpd, "--check", "4=Jazz", "--minutes", "5", "--shorten", "--save-mpd", "walk", "--quiet"}, "", 0, "", before, ""},
      {"no MPD", {mpd + "-none", "--list", "genre"}, "", 7, "", before, "cannot reach MPD"},
      {"wrong password", {"mpd:wrong@" + m_mpd.Socket(), "--list", "genre"}, "", 8, "", before, "password"},
      {"a song MPD cannot take", {unknown, "--check", "4=Jazz", "--minutes", "5", "--shorten", "--to-mpd", "replace"},
       host, 10, "*", before, "adding the song file:///elsewhere/gone.flac: Failed to access"},
      {"too short: no playlist", {mpd, "--check", "4=Jazz", "--minutes", "5", "--to-mpd", "replace"}, "", 5, "", before,
       "less than"},
      // Bea's longest Jazz song alone; the Rock song is excluded.
      {"constraints", {mpd, "--check", "4=Jazz", "--check", "4=Rock", "--exclude", "4=Rock", "--max-per-artist", "1",
                       "--min-length", "0:02", "--spread", "--shorten", "--to-mpd", "append"},
       "", 0, "*", before + "jazz/b.ogg\n", "1 songs, total 3 s"},
      {"constraints leave none", {mpd, "--check", "4=Rock", "--max-length", "3", "--to-mpd", "replace"}, "", 11, "",
       before, "no matching song lies within --max-length 3"},
      // Written before MPD is touched: a run tried again would hand the songs over twice.
      {"a playlist that cannot be written", {mpd, "--check", "4=Rock", "--minutes", "5", "--duplicates", "--to-mpd",
                                              "replace"}, "", 1, "", before, "cannot write the output: No space left",
       "/dev/full"},
      // M3U files are kept and shared: the comment line's command takes it from MPD_HOST.
      {"the password stays private", {mpd, "--check", "1=Cal", "--minutes", "5", "--shorten", "--to-mpd", "append"},
       "", 0, "*", before + "rock/c.mp3\n", "", "", "secret"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_mpd.Mpc({"clear"});
    m_mpd.Mpc({"add", "bare.flac"});
    ToolSetup setup;
    if (!c.env.empty()) setup.env = {c.env};
    setup.output = c.output;
    const ToolResult r = RunTool(TUNYRA_PICK_PATH, c.args, setup);
    if (*c.absent) {
      EXPECT_THAT(r.out + r.err, Not(HasSubstr(c.absent)));
    }
    EXPECT_EQ(r.code, c.code) << r.err;
    if (c.out != "*") {
      EXPECT_EQ(r.out, c.out);
    }
    EXPECT_THAT(r.err, HasSubstr(c.err));
    const std::string queue = Queue();
    if (c.queue.size() == 75) {  // replaced: the Rock songs alone, playing
      EXPECT_THAT(queue, Not(HasSubstr("bare.flac")));
      EXPECT_THAT(queue, HasSubstr("rock/c.mp3"));
      EXPECT_EQ(m_mpd.Mpc({"current", "-f", "%file%"}), "rock/c.mp3\n");
    } else if (c.queue != "*") {
      EXPECT_EQ(queue, c.queue);
    }
  }
  EXPECT_EQ(m_mpd.Mpc({"playlist", "-f", "%file%", "walk"}).empty(), false);
}

// A name that is no one argument of MPD's protocol stops the hand-off before anything
// is sent, whichever way it comes in. Sent as it is, its line breaks would end the
// command and make "clear" and "rm keepme" commands of their own.
TEST_F(Mpd, ANameThatIsNoOneArgumentSendsNothing) {
  const std::string hostile = "x\ncommand_list_end\nrm keepme\nclear\ny";
  const std::string shown = "x\\ncommand_list_end\\nrm keepme\\nclear\\ny";  // as messages escape it
  const std::string album = std::filesystem::path(m_mpd.MusicDirectory()).parent_path().string() + "/album";
  std::filesystem::create_directories(album);
  std::string made;
  ASSERT_TRUE(MakeSilentAudio(album + "/" + hostile + ".flac", 2, made)) << made;
  ASSERT_TRUE(WriteFixtureTags(album + "/" + hostile + ".flac", Tags("T", "", "", "Jazz", "", 0, "", ""), made)) << made;
  const std::string library = album + ".tsv";
  std::ofstream(library) << "filename\ttitle\talbum\tartist\tcomment\tgenre\tyear\ttrack\tlength\textended\n"
                         << "x\\ncommand_list_end\\nrm keepme\\nclear\\ny.mp3\tT\t\t\t\tJazz\t0\t0\t200\t\n"
                         << "jazz/a.flac\tA\t\t\t\tJazz\t0\t0\t2\t\n";
  Start({.password = "secret", .tcp = false});
  m_mpd.Mpc({"add", "bare.flac"});
  m_mpd.Mpc({"save", "keepme"});
  const std::string socket = m_mpd.Socket(), host = "MPD_HOST=secret@" + socket;
  struct Case {
    const char* name;
    std::string library;
    std::vector<std::string> args;  // after the picking options
    std::string env;
    int code;
    std::string err;
  };
  const Case cases[] = {
      {"a library file's song", library, {"--to-mpd", "append"}, host, 12,
       "the song \"" + shown + ".mp3\" holds a line break"},
      {"a folder's song", album, {"--to-mpd", "replace"}, host, 12, shown + ".flac\" holds a line break"},
      {"a stored playlist's name", library, {"--save-mpd", hostile, "--quiet"}, host, 12,
       "the playlist name \"" + shown + "\" holds a line break"},
      {"the password", "mpd:se\ncret@" + socket, {"--to-mpd", "replace"}, "", 12,
       "the password for MPD at " + socket + " holds a line break"},
      {"the password in MPD_HOST", library, {"--to-mpd", "replace"}, "MPD_HOST=se\ncret@" + socket, 12,
       "the password for MPD at " + socket + " holds a line break"},
      {"MPD's address", "mpd:" + socket + "\nclear", {"--to-mpd", "replace"}, "", 7,
       "cannot reach MPD at \"" + socket + "\\nclear\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {c.library, "--check", "4=Jazz", "--minutes", "5", "--shorten"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ToolSetup setup;
    if (!c.env.empty()) setup.env = {c.env};
    const ToolResult r = RunTool(TUNYRA_PICK_PATH, args, setup);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_THAT(r.err, HasSubstr(c.err));
    EXPECT_THAT(r.err, Not(HasSubstr("cret")));
    EXPECT_EQ(Queue(), "bare.flac\n");
    EXPECT_EQ(m_mpd.Mpc({"lsplaylists"}), "keepme\n");
  }
}

// A save makes its playlist under a name no playlist has, and renames or removes only
// what it made: a user's own playlists of the names it once used stay. When MPD refuses,
// the message blames what MPD refused: the name, not a song.
TEST_F(Mpd, SavingTouchesOnlyPlaylistsItMakes) {
  Start();
  auto session = Connect();
  ASSERT_TRUE(session);
  m_mpd.Mpc({"add", "bare.flac"});
  for (const char* own : {"mix.tunyra-new", "mix.tunyra-old"}) m_mpd.Mpc({"save", own});
  MpdError error;
  ASSERT_TRUE(SaveMpdPlaylist(*session, "mix", {"jazz/a.flac"}, error)) << error.message;
  ASSERT_TRUE(SaveMpdPlaylist(*session, "mix", {"rock/c.mp3"}, error)) << error.message;
  const std::string playlists = m_mpd.Mpc({"lsplaylists"});
  for (const char* name : {"mix\n", "mix.tunyra-new\n", "mix.tunyra-old\n"}) EXPECT_THAT(playlists, HasSubstr(name));
  EXPECT_EQ(std::count(playlists.begin(), playlists.end(), '\n'), 3) << playlists;
  EXPECT_EQ(m_mpd.Mpc({"playlist", "-f", "%file%", "mix"}), "rock/c.mp3\n");
  for (const char* own : {"mix.tunyra-new", "mix.tunyra-old"})
    EXPECT_EQ(m_mpd.Mpc({"playlist", "-f", "%file%", own}), "bare.flac\n") << own;
  EXPECT_EQ(Queue(), "bare.flac\n");

  struct Case {
    std::string name;
    MpdFailure failure;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"a/b", MpdFailure::Rejected, {"refused making the playlist a/b: Bad playlist name"}},
      {std::string(300, 'n'), MpdFailure::Rejected, {"refused making the playlist nnn", "File name too long"}},
      {std::string(5000, 'n'), MpdFailure::Unsendable,
       {"the playlist name nnn", "(5000 bytes) makes a command of", "nothing was sent"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 10));
    EXPECT_FALSE(SaveMpdPlaylist(*session, c.name, {"jazz/a.flac"}, error));
    EXPECT_EQ(error.failure, c.failure) << error.message;
    for (const std::string& words : c.words) EXPECT_THAT(error.message, HasSubstr(words));
    EXPECT_THAT(error.message, Not(HasSubstr("jazz/a.flac")));
    EXPECT_EQ(m_mpd.Mpc({"lsplaylists"}), playlists);
  }
}

}  // namespace
