// Measures the library catalogue and the song picking on generated libraries of
// growing size against straightforward versions of the same operations, checks that
// both give identical results, and prints one table with the targets.
//
//   tunyra-bench             10k, 100k and 1M items (baselines up to 100k)
//   tunyra-bench --quick     2k and 10k items, for a fast check of the results
//   tunyra-bench --sizes 10000,50000

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/alloc_counter.h"
#include "bench/baseline_snapshot.h"
#include "bench/bench_table.h"
#include "bench/library_generator.h"
#include "bench/tool_runner.h"
#include "library/item_records.h"
#include "library/library_file.h"
#include "library/library_snapshot.h"
#include "library/pooled_records.h"
#include "library/text_fields.h"
#include "picking/candidate_matching.h"
#include "picking/random_source.h"
#include "picking/time_fill.h"
#include "tests/support/library_text.h"
#include "tests/support/plain_picking.h"

using namespace tunyra;

namespace {

constexpr int kBaselineMaxSize = 100000;
constexpr unsigned kWatchdogSeconds = 180;
constexpr std::uint32_t kFillSeed = 2026;

// A hung operation must not hang the whole run: the watchdog names it and ends it.
char g_operation[160] = "";

void OnWatchdog(int) {
  const char prefix[] = "\nTIMEOUT: no result after the watchdog's limit in: ";
  ssize_t ignored = write(2, prefix, sizeof prefix - 1);
  ignored = write(2, g_operation, std::strlen(g_operation));
  ignored = write(2, "\n", 1);
  (void)ignored;
  _exit(3);
}

void Watch(const std::string& size, const std::string& operation) {
  std::snprintf(g_operation, sizeof g_operation, "%s %s", size.c_str(), operation.c_str());
  alarm(kWatchdogSeconds);
}

[[noreturn]] void Mismatch(const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "\nMISMATCH in %s: %s\nThe fast and the straightforward versions disagree.\n", g_operation,
               what.c_str());
  std::abort();
}

// CPU time of this process: on a machine shared with other jobs it varies far less
// than the wall clock, and every measured operation is single-threaded.
double CpuMillis() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

template <class Fn>
double TimeOnce(Fn&& fn) {
  const double start = CpuMillis();
  fn();
  return CpuMillis() - start;
}

// The best of `runs` timings; `prepare` runs untimed before each.
template <class Prepare, class Fn>
double Best(int runs, Prepare&& prepare, Fn&& fn) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    prepare();
    best = std::min(best, TimeOnce(fn));
  }
  return best;
}

std::string SizeLabel(int n) {
  if (n >= 1000000 && n % 1000000 == 0) return std::to_string(n / 1000000) + "M";
  if (n >= 1000 && n % 1000 == 0) return std::to_string(n / 1000) + "k";
  return std::to_string(n);
}

std::string Verdict(bool pass) { return pass ? "PASS" : "MISS"; }

std::string Text(const char* s) { return s ? s : ""; }

void CheckSnapshot(const LibrarySnapshot& ours, const BaselineSnapshot& base, const ItemRecordList& source) {
  if (ours.Records().size() != size_t(source.size) || base.records.size != source.size) Mismatch("record count");
  for (int i = 0; i < source.size; ++i) {
    const ItemRecord& a = ours.Records()[size_t(i)];
    const ItemRecord& s = source.items[i];
    bool same = a.length == s.length;
    for (const TextField& field : kTextFields) same = same && Text(a.*field.member) == Text(s.*field.member);
    if (!same) Mismatch("record " + std::to_string(i) + " copied wrongly");
  }
  for (int kind = 0; kind < 4; ++kind) {
    const std::vector<std::string_view>& values = ours.SetOfKind(kind)->Values();
    const BaselineNameSet& expected = base.SetOfKind(kind);
    if (static_cast<int>(values.size()) != expected.GetSize())
      Mismatch("value set of kind " + std::to_string(kind) + " holds " + std::to_string(values.size()) +
               " values, expected " + std::to_string(expected.GetSize()));
    for (int i = 0; i < expected.GetSize(); ++i)
      if (values[static_cast<size_t>(i)] != expected.GetAt(i))
        Mismatch("value " + std::to_string(i) + " of kind " + std::to_string(kind) + " is '" +
                 std::string(values[static_cast<size_t>(i)]) + "', expected '" + expected.GetAt(i) + "'");
  }
}

void CheckSameList(const CandidateList& ours, const CandidateList& base, const std::string& what) {
  if (ours.size() != base.size())
    Mismatch(what + ": " + std::to_string(ours.size()) + " entries, expected " + std::to_string(base.size()));
  for (size_t i = 0; i < base.size(); ++i)
    if (std::strcmp(ours[i].fileName, base[i].fileName) != 0 || std::strcmp(ours[i].title, base[i].title) != 0 ||
        ours[i].length != base[i].length)
      Mismatch(what + ": entry " + std::to_string(i) + " is " + ours[i].fileName + ", expected " + base[i].fileName);
}

std::vector<std::string> EveryNth(const std::vector<std::string>& values, size_t n) {
  std::vector<std::string> chosen;
  for (size_t i = 0; i < values.size(); i += n) chosen.push_back(values[i]);
  return chosen;
}

// Genres by popularity rank [first, first + count), as far as the library has them.
std::vector<std::string> RankedGenres(const LibrarySnapshot& snapshot, size_t first, size_t count) {
  std::vector<std::string> chosen;
  const std::vector<std::string>& ranked = GeneratedGenres();
  for (size_t i = first; i < ranked.size() && chosen.size() < count; ++i)
    if (snapshot.SetOfKind(kKindGenre)->Contains(ranked[i])) chosen.push_back(ranked[i]);
  return chosen;
}

struct MatchCase {
  std::string name;
  std::array<ColumnCondition, 4> columns;
  std::array<ColumnLink, 3> links{ColumnLink::Or, ColumnLink::Or, ColumnLink::Or};
};

std::vector<MatchCase> MatchCases(const LibrarySnapshot& snapshot) {
  const std::vector<std::string> artists = snapshot.DisplayValues(kKindArtist);
  const std::vector<std::string> titles = snapshot.DisplayValues(kKindTitle);
  const std::vector<std::string> albums = snapshot.DisplayValues(kKindAlbum);
  std::vector<MatchCase> cases(4);
  cases[0].name = "every artist";
  cases[0].columns[0] = {kKindArtist, artists};

  cases[1].name = "artist Or genre";
  cases[1].columns[0] = {kKindArtist, EveryNth(artists, 10)};
  cases[1].columns[1] = {kKindGenre, RankedGenres(snapshot, 5, 3)};

  cases[2].name = "artist And genre, many matches";
  cases[2].columns[0] = {kKindArtist, EveryNth(artists, 5)};
  cases[2].columns[1] = {kKindGenre, RankedGenres(snapshot, 0, 3)};
  cases[2].links[0] = ColumnLink::And;

  cases[3].name = "4 columns: artist And genre Or album And title";
  cases[3].columns[0] = {kKindArtist, EveryNth(artists, 10)};
  cases[3].columns[1] = {kKindGenre, RankedGenres(snapshot, 0, 10)};
  cases[3].columns[2] = {kKindAlbum, EveryNth(albums, 50)};
  cases[3].columns[3] = {kKindTitle, EveryNth(titles, 4)};
  cases[3].links = {ColumnLink::And, ColumnLink::Or, ColumnLink::And};
  return cases;
}

struct FillCase {
  std::string name;
  std::int32_t total;
  bool duplicates;
  double targetMs;  // at 1M items; 0 for none
};

class Bench {
 public:
  Bench(bool quick, std::string tempDir, ToolRunner& tool)
      : m_quick(quick), m_tempDir(std::move(tempDir)), m_tool(tool) {}
  void RunSize(int n);
  const BenchTable& Table() const { return m_table; }

 private:
  void Catalogue(const ItemRecordList& source, LibrarySnapshot& snapshot);
  void Matching(const LibrarySnapshot& snapshot, CandidateList& everyArtist);
  void Filling(const CandidateList& candidates);
  void EndToEnd(const ItemRecordList& source, const LibrarySnapshot& snapshot);
  void Constrained(std::vector<std::string> everyArgs);

 public:
  BenchTable& MutableTable() { return m_table; }

 private:

  int Runs() const { return m_quick ? 1 : (m_n >= 1000000 ? 2 : 3); }
  bool WithBaseline() const { return m_n <= kBaselineMaxSize; }

  bool m_quick;
  std::string m_tempDir;
  ToolRunner& m_tool;
  int m_n = 0;
  std::string m_size;
  BenchTable m_table;
};

void Bench::RunSize(int n) {
  m_n = n;
  m_size = SizeLabel(n);
  std::fprintf(stderr, "%s items:\n", m_size.c_str());
  Watch(m_size, "generating the library");
  ItemRecordList source = GenerateLibrary(n);
  LibrarySnapshot snapshot;
  Catalogue(source, snapshot);
  CandidateList everyArtist;
  Matching(snapshot, everyArtist);
  Filling(everyArtist);
  EndToEnd(source, snapshot);
  snapshot.Release();
  ReleaseItemRecordList(source);
  alarm(0);
}

void Bench::Catalogue(const ItemRecordList& source, LibrarySnapshot& snapshot) {
  Watch(m_size, "Rebuild");
  const double ours = Best(Runs(), [&] { snapshot.Release(); }, [&] { snapshot.Rebuild(source); });
  BenchRow row{m_size, "Rebuild (copy + 4 value sets)", Millis(ours), "", "", "", ""};
  // The snapshot copies into a pool, the baseline a block per field; each copy timed
  // alone leaves what the sets cost on either side.
  Watch(m_size, "PooledRecords");
  PooledRecords pooled;
  const double pooledMs = Best(Runs(), [&] { pooled = PooledRecords(); }, [&] { pooled = PooledRecords(source); });
  pooled = PooledRecords();
  ItemRecordList copy{nullptr, 0, 0};
  Watch(m_size, "AppendItemRecords");
  const double copyMs = Best(Runs(), [&] { ReleaseItemRecordList(copy); }, [&] { AppendItemRecords(copy, source); });
  ReleaseItemRecordList(copy);
  BenchRow copies{m_size, "  deep copy: pooled / a block per field", Millis(pooledMs), Millis(copyMs), Ratio(pooledMs, copyMs),
                  "", ""};
  BenchRow sets{m_size, "  value sets alone (Rebuild - copy)", Millis(ours - pooledMs), "", "", "", ""};
  if (WithBaseline()) {
    Watch(m_size, "Rebuild, baseline");
    BaselineSnapshot base;
    const double baseMs = TimeOnce([&] { base.Rebuild(source); });
    CheckSnapshot(snapshot, base, source);
    row.baseline = Millis(baseMs);
    row.ratio = Ratio(ours, baseMs);
    sets.baseline = Millis(baseMs - copyMs);
    sets.ratio = Ratio(ours - pooledMs, baseMs - copyMs);
    if (m_n == 100000) {
      sets.target = ">= 10x faster than baseline";
      sets.verdict = Verdict(baseMs - copyMs >= 10 * (ours - pooledMs));
    }
  }
  if (m_n == 1000000) {
    row.target = "< 500 ms";
    row.verdict = Verdict(ours < 500);
  }
  m_table.Add(row);
  m_table.Add(copies);
  m_table.Add(sets);

  if (alloc_counter::Available()) {
    snapshot.Release();
    alloc_counter::Start();
    snapshot.Rebuild(source);
    alloc_counter::Stop();
    char text[96];
    std::snprintf(text, sizeof text, "%.0f B/item (peak %.0f)", double(alloc_counter::Current()) / m_n,
                  double(alloc_counter::Peak()) / m_n);
    m_table.Add({m_size, "snapshot heap after Rebuild", text, "", "", "", ""});
  }

  Watch(m_size, "DisplayValues");
  size_t shown = 0;
  const double display = Best(Runs(), [] {}, [&] {
    shown = 0;
    for (int kind = 0; kind < 4; ++kind) shown += snapshot.DisplayValues(kind).size();
  });
  m_table.Add({m_size, "DisplayValues, 4 kinds (" + std::to_string(shown) + " values)", Millis(display), "", "", "",
               ""});
}

void Bench::Matching(const LibrarySnapshot& snapshot, CandidateList& everyArtist) {
  for (const MatchCase& c : MatchCases(snapshot)) {
    const std::string operation = "BuildCandidates: " + c.name;
    Watch(m_size, operation);
    MatchResult result;
    const double ours = Best(Runs(), [&] { result = MatchResult(); },
                             [&] { result = BuildCandidates(snapshot.Records(), c.columns, c.links); });
    BenchRow row{m_size, operation + " (" + std::to_string(result.candidates.size()) + ")", Millis(ours), "", "", "",
                 ""};
    if (WithBaseline()) {
      Watch(m_size, operation + ", baseline");
      MatchResult base;
      const double baseMs = TimeOnce([&] { base = plain::BuildCandidates(snapshot.Records(), c.columns, c.links); });
      if (base.refusal != result.refusal) Mismatch("refusal");
      CheckSameList(result.candidates, base.candidates, "candidates");
      row.baseline = Millis(baseMs);
      row.ratio = Ratio(ours, baseMs);
      if (m_n == 100000 && c.name == "every artist") {
        row.target = ">= 100x faster than baseline";
        row.verdict = Verdict(baseMs >= 100 * ours);
      }
    }
    if (m_n == 1000000 && c.name == "every artist") {
      row.target = "< 300 ms";
      row.verdict = Verdict(ours < 300);
    }
    m_table.Add(row);
    if (c.name == "every artist") everyArtist = result.candidates;
  }
}

void Bench::Filling(const CandidateList& candidates) {
  const std::vector<FillCase> cases = {
      {"60 min, duplicates off", 60 * 60, false, 0},
      {"60 min, duplicates on", 60 * 60, true, 0},
      {"3600 min, duplicates off", 3600 * 60, false, 100},
      {"3600 min, duplicates on", 3600 * 60, true, 100},
      // More time than all songs together: answered OK, every song is picked once.
      {"shortened to all songs", INT_MAX, false, 60},
  };
  for (const FillCase& c : cases) {
    const std::string operation = "FillTime over " + SizeLabel(static_cast<int>(candidates.size())) + ": " + c.name;
    Watch(m_size, operation);
    FillResult fill;
    const FillRequest request{
        .totalSeconds = c.total, .allowDuplicates = c.duplicates, .askShorten = [] { return true; }};
    const double ours = Best(Runs(), [&] { fill = FillResult(); }, [&] {
      LcgRandomSource random(kFillSeed);
      fill = FillTime(candidates, request, random);
    });
    BenchRow row{m_size, operation + " (" + std::to_string(fill.picks.size()) + " picks)", Millis(ours), "", "", "",
                 ""};
    if (WithBaseline()) {
      Watch(m_size, operation + ", baseline");
      plain::Fill base;
      const double baseMs = TimeOnce([&] {
        LcgRandomSource random(kFillSeed);
        base = plain::FillTime(candidates, c.total, c.duplicates, random, true);
      });
      if (!base.ended) Mismatch("the plain fill did not end");
      if (base.cancelled != fill.cancelled) Mismatch("cancelled");
      if (base.stop != fill.stop) Mismatch("stop reason");
      CheckSameList(fill.picks, plain::PickedEntries(candidates, base.picks), "picks");
      row.baseline = Millis(baseMs);
      row.ratio = Ratio(ours, baseMs);
    }
    if (m_n == 1000000 && c.targetMs > 0) {
      row.target = "< " + std::to_string(static_cast<int>(c.targetMs)) + " ms";
      row.verdict = Verdict(ours < c.targetMs);
    }
    m_table.Add(row);
  }
}

// Written through to the disk before anything reads it: a library is read long after
// it was written, and a file still being written back makes the first readers' memory
// slower to come by (the kernel cannot move pages under writeback to make room).
bool WriteLibraryFile(const std::string& text, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0 &&
                       ::fsync(fileno(file)) == 0;
  return std::fclose(file) == 0 && written;
}

// The floor of any reader of the file: the whole file read into fresh memory and its
// lines counted.
double ReadAndCountLines(const std::string& path, size_t& lines) {
  return TimeOnce([&] {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) Mismatch("cannot read " + path);
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    std::unique_ptr<char[]> text(new char[size_t(size)]);
    const size_t read = std::fread(text.get(), 1, size_t(size), file);
    std::fclose(file);
    lines = 0;
    for (const char* p = text.get(); (p = static_cast<const char*>(std::memchr(p, '\n', size_t(text.get() + read - p))));
         ++p)
      ++lines;
  });
}

// The same songs with the shortest lines a library has: short file names, no titles.
ItemRecordList ShortLines(const ItemRecordList& source) {
  ItemRecordList list{nullptr, 0, 0};
  ReserveItemRecords(list, source.size, 0);
  for (int i = 0; i < source.size; ++i) {
    ItemRecord record{};
    const std::string name = std::to_string(i) + ".mp3";
    record.filename = const_cast<char*>(name.c_str());
    record.genre = source.items[i].genre;
    record.length = source.items[i].length;
    ItemRecordList one{&record, 1, 1};
    AppendItemRecords(list, one);
  }
  return list;
}

struct ToolFigures {
  double cpu = 1e300;
  double wall = 1e300;
  long rssKb = 0;
};

ToolFigures RunTool(ToolRunner& tool, const std::vector<std::string>& args, int runs) {
  ToolFigures figures;
  for (int i = 0; i < runs; ++i) {
    ToolRun run = tool.Run(args);
    if (!run.exited || run.code != 0) Mismatch("tunyra-pick failed with exit code " + std::to_string(run.code));
    figures.cpu = std::min(figures.cpu, run.cpuMs);
    figures.wall = std::min(figures.wall, run.wallMs);
    figures.rssKb = std::max(figures.rssKb, run.maxRssKb);
  }
  return figures;
}

std::string TimesFile(double rssKb, long long fileBytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f MB = %.2fx file", rssKb / 1024.0, rssKb * 1024.0 / double(fileBytes));
  return text;
}

// The constraints against the same fit without them, in the same run: every genre (every
// song a candidate, so every song's artist is kept and weighed) and the longest time, so
// the limit and the spread meet the most songs and picks there are.
void Bench::Constrained(std::vector<std::string> everyArgs) {
  // The later --minutes wins; a small library is shortened to all its songs.
  everyArgs.insert(everyArgs.end(), {"--minutes", "3600", "--shorten"});
  const std::vector<std::string> constraints = {"--max-per-artist", "2", "--spread", "--min-length", "2:00"};
  for (const char* fit : {"usual", "exact"}) {
    const std::string operation = std::string("tunyra-pick, ") + fit + " fit, every genre, 3600 min";
    Watch(m_size, operation + ", with and without constraints");
    std::vector<std::string> free = everyArgs;
    free.insert(free.end(), {"--fit", fit});
    std::vector<std::string> constrained = free;
    constrained.insert(constrained.end(), constraints.begin(), constraints.end());
    const ToolFigures without = RunTool(m_tool, free, Runs());
    const ToolFigures with = RunTool(m_tool, constrained, Runs());
    BenchRow row{m_size, operation + ": + --max-per-artist 2 --spread --min-length 2:00 / without",
                 Millis(with.cpu) + " (" + std::to_string(with.rssKb / 1024) + " MB)",
                 Millis(without.cpu) + " (" + std::to_string(without.rssKb / 1024) + " MB)",
                 Ratio(with.cpu, without.cpu), "", ""};
    if (m_n == 1000000) {
      row.target = "<= 1.5x without";
      row.verdict = Verdict(with.cpu <= 1.5 * without.cpu);
    }
    m_table.Add(row);
  }
}

void Bench::EndToEnd(const ItemRecordList& source, const LibrarySnapshot& snapshot) {
  Watch(m_size, "tunyra-pick end to end");
  const std::string path = m_tempDir + "/library-" + m_size + ".tsv";
  const std::string text = FormatLibraryFile(source);
  const long long fileBytes = static_cast<long long>(text.size());
  if (!WriteLibraryFile(text, path)) Mismatch("cannot write " + path);
  const std::string fileMb = std::to_string(int(double(fileBytes) / 1048576.0 + 0.5)) + " MB";

  size_t lines = 0;
  const double floor = Best(Runs(), [] {}, [&] { ReadAndCountLines(path, lines); });
  if (lines != size_t(m_n) + 1) Mismatch("the file has " + std::to_string(lines) + " lines");
  m_table.Add({m_size, "floor: read the file (" + fileMb + ") and count its lines", Millis(floor), "", "", "", ""});

  const std::string genre = RankedGenres(snapshot, 0, 1).at(0);
  std::vector<std::string> everyGenre;
  for (const std::string& g : RankedGenres(snapshot, 0, GeneratedGenres().size())) everyGenre.insert(everyGenre.end(), {"--check", "4=" + g});
  const std::vector<std::string> common = {"--minutes", "60", "--seed", "1"};
  std::vector<std::string> oneArgs = {path, "--check", "4=" + genre};
  oneArgs.insert(oneArgs.end(), common.begin(), common.end());
  std::vector<std::string> everyArgs = {path};
  everyArgs.insert(everyArgs.end(), everyGenre.begin(), everyGenre.end());
  everyArgs.insert(everyArgs.end(), common.begin(), common.end());

  const ToolFigures one = RunTool(m_tool, oneArgs, Runs());
  const ToolFigures every = RunTool(m_tool, everyArgs, Runs());
  BenchRow oneTime{m_size, "tunyra-pick, one genre, 60 min", Millis(one.cpu) + " (wall " + Millis(one.wall) + ")",
                   Millis(floor), Ratio(one.cpu, floor), "", ""};
  BenchRow everyTime{m_size, "tunyra-pick, every genre, 60 min",
                     Millis(every.cpu) + " (wall " + Millis(every.wall) + ")", Millis(floor),
                     Ratio(every.cpu, floor), "", ""};
  BenchRow oneMemory{m_size, "tunyra-pick peak RSS, one genre", TimesFile(double(one.rssKb), fileBytes), "", "", "", ""};
  BenchRow everyMemory{m_size, "tunyra-pick peak RSS, every genre", TimesFile(double(every.rssKb), fileBytes), "", "",
                       "", ""};
  const double oneRatio = double(one.rssKb) * 1024.0 / double(fileBytes);
  const double everyRatio = double(every.rssKb) * 1024.0 / double(fileBytes);
  if (m_n == 100000) {
    oneTime.target = "< 300 ms";
    oneTime.verdict = Verdict(one.cpu < 300);
    oneMemory.target = "< 3x file size";
    oneMemory.verdict = Verdict(oneRatio < 3);
  }
  if (m_n == 1000000) {
    everyTime.target = "within 2x the floor";
    everyTime.verdict = Verdict(every.cpu <= 2 * floor);
    oneMemory.target = "< 1.5x file size";
    oneMemory.verdict = Verdict(oneRatio < 1.5);
    everyMemory.target = "< 2.5x file size";
    everyMemory.verdict = Verdict(everyRatio < 2.5);
  }
  m_table.Add(oneTime);
  m_table.Add(everyTime);
  m_table.Add(oneMemory);
  m_table.Add(everyMemory);
  Constrained(everyArgs);
  std::remove(path.c_str());

  // Memory against the file whatever the line length: the same songs in short lines.
  Watch(m_size, "tunyra-pick on short lines");
  ItemRecordList shortList = ShortLines(source);
  const std::string shortText = FormatLibraryFile(shortList);
  ReleaseItemRecordList(shortList);
  const long long shortBytes = static_cast<long long>(shortText.size());
  if (!WriteLibraryFile(shortText, path)) Mismatch("cannot write " + path);
  const ToolFigures shortOne = RunTool(m_tool, oneArgs, 1);
  const ToolFigures shortEvery = RunTool(m_tool, everyArgs, 1);
  std::remove(path.c_str());
  const std::string shortMb = std::to_string(int(double(shortBytes) / 1048576.0 + 0.5)) + " MB";
  BenchRow shortOneMemory{m_size, "tunyra-pick peak RSS, one genre, short lines (" + shortMb + ")",
                          TimesFile(double(shortOne.rssKb), shortBytes), "", "", "", ""};
  BenchRow shortEveryMemory{m_size, "tunyra-pick peak RSS, every genre, short lines",
                            TimesFile(double(shortEvery.rssKb), shortBytes), "", "", "", ""};
  if (m_n == 1000000) {
    shortOneMemory.target = "< 1.5x file size";
    shortOneMemory.verdict = Verdict(double(shortOne.rssKb) * 1024.0 / double(shortBytes) < 1.5);
    shortEveryMemory.target = "< 2.5x file size";
    shortEveryMemory.verdict = Verdict(double(shortEvery.rssKb) * 1024.0 / double(shortBytes) < 2.5);
  }
  m_table.Add(shortOneMemory);
  m_table.Add(shortEveryMemory);
}

// One item with `names` distinct extended names, read and copied as the stand-in does:
// once a search of every earlier name and a reallocation per name.
void ManyExtendedNames(BenchTable& table, int names) {
  std::string text = std::string(kLibraryFileHeader) + "\na.mp3\tT\tA\tR\t\tRock\t2000\t1\t200\t";
  char entry[32];
  for (int i = 0; i < names; ++i) {
    std::snprintf(entry, sizeof entry, "%sn%07d=v", i ? ";" : "", i);
    text += entry;
  }
  text += '\n';
  Watch(SizeLabel(names), "one item with many extended names");
  size_t copied = 0;
  const double ms = TimeOnce([&] {
    LibraryFile file;
    std::string error;
    if (!file.Parse(text, "names.tsv", error)) Mismatch(error);
    ItemRecordList copy{nullptr, 0, 0};
    AppendItemRecords(copy, file.Records());
    for (char** e = copy.items[0].extendedInfo; e && *e; ++e) ++copied;
    ReleaseItemRecordList(copy);
  });
  if (copied != size_t(names)) Mismatch("the copy holds " + std::to_string(copied) + " names");
  const std::string size = std::to_string(int(double(text.size()) / 1048576.0 + 0.5)) + " MB";
  table.Add({SizeLabel(names) + " names", "one item, read + owned copy (file " + size + ")", Millis(ms), "", "",
             names >= 1000000 ? "< 1000 ms" : "", names >= 1000000 ? Verdict(ms < 1000) : ""});
}

bool ParseSizes(const char* text, std::vector<int>& sizes) {
  sizes.clear();
  std::string list = text;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    char* end = nullptr;
    long value = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || value < 1 || value > 10000000) return false;
    sizes.push_back(static_cast<int>(value));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !sizes.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--write-library") == 0) {
    // The benchmark's library as a file, for the peer comparison and for trying things.
    std::vector<int> count;
    if (!ParseSizes(argv[2], count) || count.size() != 1) return 2;
    ItemRecordList library = GenerateLibrary(count[0]);
    const bool written = WriteLibraryFile(FormatLibraryFile(library), argv[3]);
    ReleaseItemRecordList(library);
    return written ? 0 : 1;
  }
  std::vector<int> sizes = {10000, 100000, 1000000};
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") {
      quick = true;
      sizes = {2000, 10000};
    } else if (arg == "--sizes" && i + 1 < argc && ParseSizes(argv[i + 1], sizes)) {
      ++i;
    } else {
      std::fprintf(stderr, "usage: tunyra-bench [--quick] [--sizes N,N,...]\n");
      return 2;
    }
  }
  ToolRunner tool(TUNYRA_PICK_PATH);
  if (!tool.Start()) {
    std::perror("starting the tool runner");
    return 1;
  }
  signal(SIGALRM, OnWatchdog);
#ifndef __OPTIMIZE__
  std::fprintf(stderr, "warning: this is not an optimised build; the figures mean little\n");
#endif
  char pattern[] = "/tmp/tunyra-bench-XXXXXX";
  const char* tempDir = mkdtemp(pattern);
  if (!tempDir) {
    std::perror("mkdtemp");
    return 1;
  }

  Bench bench(quick, tempDir, tool);
  const auto start = std::chrono::steady_clock::now();
  for (int n : sizes) bench.RunSize(n);
  ManyExtendedNames(bench.MutableTable(), quick ? 100000 : 1000000);
  rmdir(tempDir);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("\nTunyra benchmarks: CPU time, best of %s runs; baselines (one run) up to %s items, checked to give "
              "the same results.\n\n",
              quick ? "1" : "3 (2 at 1M)", SizeLabel(kBaselineMaxSize).c_str());
  bench.Table().Print();
  std::printf("\n%d target(s) missed; the whole run took %.0f s.\n", bench.Table().Misses(), seconds);
  return 0;
}
