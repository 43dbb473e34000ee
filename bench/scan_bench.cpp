// The folder scan on generated folders of real tagged files: the first scan's rate
// (files in the page cache), the rescan of unchanged files, peak memory, and the same
// folder imported by beets without its tagger.
//   tunyra-scan-bench WORK_DIR [--quick] [--no-beets]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "library/library_file.h"
#include "tests/scan/audio_fixture.h"

using namespace tunyra;

namespace {

namespace fs = std::filesystem;

struct ChildRun {
  int code = -1;
  double wallMs = 0;
  long maxRssKb = 0;
};

// wait4 gives this child's own peak memory; forked from a small benchmark, it counts
// little of ours.
ChildRun Run(const std::vector<std::string>& args, const std::string& beetsDir = "") {
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    if (!beetsDir.empty()) setenv("BEETSDIR", beetsDir.c_str(), 1);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  ChildRun run;
  int status = 0;
  rusage usage{};
  if (child > 0 && wait4(child, &status, 0, &usage) == child && WIFEXITED(status)) run.code = WEXITSTATUS(status);
  run.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  run.maxRssKb = usage.ru_maxrss;
  return run;
}

// Albums of 12 songs by artists of two albums, 40 genres, four formats; every file
// tagged through TagLib. Kept between runs once complete.
bool MakeCorpus(const std::string& dir, int count) {
  const std::string marker = dir + "/.complete";
  if (std::ifstream(marker)) return true;
  fs::remove_all(dir);
  fs::create_directories(dir + "/.base");
  const char* formats[] = {"mp3", "mp3", "flac", "ogg", "opus", "mp3"};
  std::vector<std::string> bases;
  std::string error;
  for (const char* ext : {"mp3", "flac", "ogg", "opus"})
    for (int seconds = 1; seconds <= 3; ++seconds) {
      std::string path = dir + "/.base/" + std::to_string(seconds) + "." + ext;
      if (!MakeSilentAudio(path, seconds, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
      }
    }
  std::fprintf(stderr, "  making %d tagged files in %s\n", count, dir.c_str());
  for (int i = 0; i < count; ++i) {
    const int album = i / 12, artist = album / 2, track = i % 12 + 1;
    const char* ext = formats[i % 6];
    char folder[96];
    std::snprintf(folder, sizeof folder, "/Artist %05d/Album %06d", artist, album);
    if (track == 1) fs::create_directories(dir + folder);
    std::string path = dir + folder + "/" + std::to_string(track) + " Song " + std::to_string(i) + "." + ext;
    if (!CopyWholeFile(dir + "/.base/" + std::to_string(i % 3 + 1) + "." + ext, path)) return false;
    FixtureTags tags;
    tags.title = "Song " + std::to_string(i) + " \xc3\xa9t\xc3\xa9";
    tags.album = "Album " + std::to_string(album);
    tags.artist = "Artist " + std::to_string(artist);
    tags.albumArtist = tags.artist;
    tags.genre = "Genre " + std::to_string((i * 7) % 40);
    tags.disc = "1";
    tags.year = 1950 + unsigned(album % 70);
    tags.track = unsigned(track);
    if (!WriteFixtureTags(path, tags, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return false;
    }
  }
  fs::remove_all(dir + "/.base");
  std::ofstream(marker) << count << '\n';
  return true;
}

std::string Number(double value, const char* unit) {
  char text[64];
  std::snprintf(text, sizeof text, "%.0f %s", value, unit);
  return text;
}

std::string Size(int count) { return count >= 1000 ? std::to_string(count / 1000) + "k files" : std::to_string(count); }

bool LibraryHas(const std::string& path, int count) {
  LibraryFile library;
  std::string error;
  if (!library.ReadFile(path, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  if (library.Records().size != count)
    std::fprintf(stderr, "%s: %d songs, expected %d\n", path.c_str(), library.Records().size, count);
  return library.Records().size == count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tunyra-scan-bench WORK_DIR [--quick] [--no-beets]\n");
    return 2;
  }
  const std::string work = fs::absolute(argv[1]).string();
  bool quick = false, beets = true;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--quick") quick = true;
    else if (arg == "--no-beets") beets = false;
  }
  std::string missing = MissingAudioTools();
  if (!missing.empty()) {
    std::fprintf(stderr, "missing audio tools: %s\n", missing.c_str());
    return 2;
  }

  BenchTable table;
  std::vector<int> sizes = quick ? std::vector<int>{10000} : std::vector<int>{10000, 100000};
  for (int count : sizes) {
    const std::string corpus = work + "/corpus-" + std::to_string(count);
    if (!MakeCorpus(corpus, count)) return 1;
    const std::string library = work + "/library-" + std::to_string(count) + ".tsv";
    const std::vector<std::string> scan = {TUNYRA_SCAN_PATH, corpus, "-o", library, "--quiet"};

    // Best of three, each from no library; a run before them fills the page cache.
    ChildRun first{0, 1e18, 0};
    for (int i = 0; i < 4; ++i) {
      fs::remove(library);
      ChildRun run = Run(scan);
      if (run.code != 0) {
        std::fprintf(stderr, "tunyra-scan failed with %d\n", run.code);
        return 1;
      }
      if (i > 0 && run.wallMs < first.wallMs) first.wallMs = run.wallMs;
      first.maxRssKb = std::max(first.maxRssKb, run.maxRssKb);
    }
    if (!LibraryHas(library, count)) return 1;
    ChildRun rescan{0, 1e18, 0};
    for (int i = 0; i < 3; ++i) {
      ChildRun run = Run(scan);
      rescan.wallMs = std::min(rescan.wallMs, run.wallMs);
      rescan.maxRssKb = std::max(rescan.maxRssKb, run.maxRssKb);
    }
    if (!LibraryHas(library, count)) return 1;

    const double rate = count / (first.wallMs / 1000);
    BenchRow firstRow{Size(count), "first scan", Number(first.wallMs, "ms"), "", "", "", ""};
    BenchRow rateRow{Size(count), "first scan rate", Number(rate, "files/s"), "", "", "", ""};
    if (count == 10000) {
      rateRow.target = ">= 3000 files/s";
      rateRow.verdict = rate >= 3000 ? "PASS" : "MISS";
    }
    if (count == 10000 && beets) {
      const std::string beetsDir = work + "/beets-" + std::to_string(count);
      fs::remove_all(beetsDir);
      fs::create_directories(beetsDir);
      std::ofstream(beetsDir + "/config.yaml")
          << "directory: " << beetsDir << "/music\nlibrary: " << beetsDir << "/library.db\n"
          << "import:\n  copy: no\n  move: no\n  write: no\n  autotag: no\n  log: \nplugins: []\n";
      std::fprintf(stderr, "  beets: beet import -A -q (%d files, this takes a while)\n", count);
      ChildRun imported = Run({"beet", "import", "-A", "-q", corpus}, beetsDir);
      if (imported.code != 0) {
        std::fprintf(stderr, "beet import failed with %d\n", imported.code);
      } else {
        firstRow.baseline = Number(imported.wallMs, "ms") + " (beets)";
        firstRow.ratio = Ratio(first.wallMs, imported.wallMs);
        rateRow.baseline = Number(count / (imported.wallMs / 1000), "files/s") + " (beets)";
      }
    }
    table.Add(firstRow);
    table.Add(rateRow);
    BenchRow rescanRow{Size(count), "rescan, unchanged", Number(rescan.wallMs, "ms"), "", "", "", ""};
    if (count == 10000) {
      rescanRow.target = "< 300 ms";
      rescanRow.verdict = rescan.wallMs < 300 ? "PASS" : "MISS";
    }
    table.Add(rescanRow);
    BenchRow memory{Size(count), "peak memory, first scan", Number(first.maxRssKb / 1024.0, "MB"), "", "", "", ""};
    BenchRow rescanMemory{Size(count), "peak memory, rescan", Number(rescan.maxRssKb / 1024.0, "MB"), "", "", "", ""};
    if (count == 100000) {
      memory.target = rescanMemory.target = "< 100 MB";
      memory.verdict = first.maxRssKb < 100 * 1024 ? "PASS" : "MISS";
      rescanMemory.verdict = rescan.maxRssKb < 100 * 1024 ? "PASS" : "MISS";
    }
    table.Add(memory);
    table.Add(rescanMemory);
  }
  std::printf("\n");
  table.Print();
  std::printf("\nWall time, best of three with the files in the page cache; beets imports once, "
              "into a private library, without its tagger.\n");
  return table.Misses() == 0 ? 0 : 3;
}
