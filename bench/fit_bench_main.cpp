// How close the two fills come to the time asked for: the usual fill (FillTime) and the
// exact fit (FitExactly), side by side over many seeds, on the sample library and on
// generated ones, with the time per playlist up to a million songs.
//
//   tunyra-fit-bench                  1,000 seeds; sample, 10k and 100k items; timing at 1M
//   tunyra-fit-bench --quick          100 seeds; sample and 10k items; timing at 100k
//   tunyra-fit-bench --errors FILE    also writes every playlist's error (for the histogram)
//   tunyra-fit-bench --limits         only the artist-limit timings
//
// Every exact-fit playlist is checked as it comes: its total is what it reports, it
// holds no song of unknown length, none twice, and its error is never larger than the
// usual fill's (which is one playlist the exact fit could have made). A failed check
// aborts the run. At the largest size the exact fit with at most 2, 100 and 1,000 songs
// per artist is timed against the exact fit without a limit, seed by seed in the same
// run; its playlists are checked too, and that no artist comes more often than allowed.
// The generated artists have about 12 songs each, which limits of 100 and 1,000 never
// bind, so those limits are timed again with the same songs under fewer, larger artists:
// 1,000 of about 1,000 songs each, a skewed thousand from a few hundred songs to tens
// of thousands, and so few (10 under a limit of 100, one under 1,000) that at 3600
// minutes the limit holds back the picks themselves.

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bench/bench_table.h"
#include "bench/library_generator.h"
#include "library/item_records.h"
#include "library/library_file.h"
#include "picking/candidate_matching.h"
#include "picking/exact_fit.h"
#include "picking/pick_limits.h"
#include "picking/random_source.h"
#include "picking/time_fill.h"

using namespace tunyra;

namespace {

double CpuMillis() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

[[noreturn]] void Mismatch(const std::string& where, const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "\nCHECK FAILED in %s: %s\n", where.c_str(), what.c_str());
  std::abort();
}

std::string Fixed(double value, const char* format) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

CandidateList EverySong(RecordView records) {
  CandidateList list;
  list.Reserve(records.size());
  for (const ItemRecord& r : records) list.Append(r.filename, r.title, r.length);
  return list;
}

// Each song's artist as a small number, an empty or missing artist one artist too.
std::vector<std::uint32_t> ArtistIds(RecordView records, size_t& artists) {
  std::unordered_map<std::string_view, std::uint32_t> ids;
  std::vector<std::uint32_t> artistOf;
  artistOf.reserve(records.size());
  for (const ItemRecord& r : records)
    artistOf.push_back(ids.emplace(r.artist ? r.artist : "", static_cast<std::uint32_t>(ids.size())).first->second);
  artists = ids.size();
  return artistOf;
}

// The generated artists merged into `artists` larger ones, so that a limit of hundreds
// binds: evenly, or skewed (the merged artist k takes a share falling as 1 / sqrt(k)).
std::vector<std::uint32_t> MergedArtists(const std::vector<std::uint32_t>& artistOf, std::uint32_t artists,
                                         bool skewed) {
  std::vector<std::uint32_t> merged(artistOf.size());
  for (size_t i = 0; i < artistOf.size(); ++i) {
    std::uint64_t z = (artistOf[i] + 1) * 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 31)) * 0xBF58476D1CE4E5B9ULL;
    z ^= z >> 29;
    const double u = static_cast<double>(z >> 11) / 9007199254740992.0;
    merged[i] = skewed ? static_cast<std::uint32_t>(u * u * artists) : static_cast<std::uint32_t>(z % artists);
  }
  return merged;
}

std::string SongsPerArtist(const std::vector<std::uint32_t>& artistOf) {
  std::unordered_map<std::uint32_t, std::uint32_t> songs;
  for (std::uint32_t a : artistOf) ++songs[a];
  std::uint32_t fewest = UINT32_MAX, most = 0;
  for (const auto& [artist, count] : songs) {
    fewest = std::min(fewest, count);
    most = std::max(most, count);
  }
  if (songs.size() == 1) return "1 artist of " + std::to_string(most) + " songs";
  return std::to_string(songs.size()) + " artists of " + std::to_string(fewest) + " to " + std::to_string(most) +
         " songs";
}

struct FillFigures {
  int runs = 0;
  int exact = 0;
  int exactPossible = 0;  // exact fit only: runs not proven to have no exact playlist
  int cut = 0;
  double errorSum = 0;
  long long worst = 0;
  double millis = 0;
};

long long Error(const FillResult& r) { return -r.remainingSeconds; }  // over the time: positive

void CheckExactFit(const CandidateList& candidates, const FillResult& exact, const FillResult& usual,
                   const std::string& where) {
  long long sum = 0;
  std::vector<const char*> seen;
  for (const Candidate& pick : exact.picks) {
    if (pick.length <= 0) Mismatch(where, "a song of no or unknown length was picked");
    sum += pick.length;
    seen.push_back(pick.fileName);
  }
  if (sum != exact.targetSeconds - exact.remainingSeconds) Mismatch(where, "the total is not what it reports");
  // Every song of these libraries stands once, so a file name twice is a song twice.
  std::sort(seen.begin(), seen.end());
  if (std::adjacent_find(seen.begin(), seen.end()) != seen.end()) Mismatch(where, "a song was picked twice");
  if (exact.stop != FillStop::SearchCut && std::llabs(Error(exact)) > std::llabs(Error(usual)))
    Mismatch(where, "the exact fit is further from the time than the usual fill");
  (void)candidates;
}

// Returns whether some artist has as many picks as the limit allows.
bool CheckArtistLimit(const CandidateList& candidates, const PickLimits& limits, const FillResult& limited,
                      const FillResult& free, const std::string& where) {
  CheckExactFit(candidates, limited, free, where);
  if (limited.indices.size() != limited.picks.size()) Mismatch(where, "the picks and their indices disagree");
  std::unordered_map<std::uint32_t, std::uint32_t> perArtist;
  for (size_t k = 0; k < limited.indices.size(); ++k) {
    if (candidates[limited.indices[k]].fileName != limited.picks[k].fileName)
      Mismatch(where, "an index points at another song than its pick");
    if (++perArtist[limits.artistOf[limited.indices[k]]] > limits.maxPerArtist)
      Mismatch(where, "an artist comes more often than the limit");
  }
  for (const auto& [artist, picks] : perArtist)
    if (picks == limits.maxPerArtist) return true;
  return false;
}

class FitBench {
 public:
  FitBench(int seeds, std::FILE* errors) : m_seeds(seeds), m_errors(errors) {}

  void Accuracy(const std::string& library, const CandidateList& candidates) {
    for (int minutes : {30, 60, 90}) {
      const std::string where = library + ", " + std::to_string(minutes) + " min";
      std::fprintf(stderr, "  %s ...\n", where.c_str());
      FillFigures usual, exact;
      for (int seed = 1; seed <= m_seeds; ++seed) {
        const FillResult u = Run(candidates, minutes, seed, false, usual);
        const FillResult e = Run(candidates, minutes, seed, true, exact);
        CheckExactFit(candidates, e, u, where + ", seed " + std::to_string(seed));
        if (e.stop != FillStop::NoExactTotal) ++exact.exactPossible;
        if (e.stop == FillStop::SearchCut) ++exact.cut;
        if (m_errors) {
          std::fprintf(m_errors, "usual\t%s\t%d\t%lld\n", library.c_str(), minutes, Error(u));
          std::fprintf(m_errors, "exact\t%s\t%d\t%lld\n", library.c_str(), minutes, Error(e));
        }
      }
      AddRows(library + " (" + std::to_string(candidates.size()) + ")", minutes, usual, exact);
    }
  }

  void Timing(const std::string& library, const CandidateList& candidates, int seeds) {
    for (int minutes : {60, 3600}) {
      std::fprintf(stderr, "  %s, %d min ...\n", library.c_str(), minutes);
      FillFigures usual, exact;
      for (int seed = 1; seed <= seeds; ++seed) {
        const FillResult u = Run(candidates, minutes, seed, false, usual);
        const FillResult e = Run(candidates, minutes, seed, true, exact);
        CheckExactFit(candidates, e, u, library + ", seed " + std::to_string(seed));
      }
      const double perPlaylist = exact.millis / exact.runs;
      m_table.Add({library, "time per playlist, " + std::to_string(minutes) + " min (" + std::to_string(seeds) +
                                " seeds), exact " + std::to_string(exact.exact) + "/" + std::to_string(exact.runs),
                   Millis(perPlaylist), Millis(usual.millis / usual.runs), Ratio(perPlaylist, usual.millis / usual.runs),
                   "< 50 ms", perPlaylist < 50 ? "PASS" : "MISS"});
    }
  }

  // The exact fit with at most `most` songs per artist against the exact fit without a
  // limit, each seed both ways.
  void ArtistLimitTiming(const std::string& library, const CandidateList& candidates,
                         const std::vector<std::uint32_t>& artistOf, std::uint32_t most, int seeds) {
    const PickLimits limits{artistOf, most};
    const auto ok = [] { return true; };
    for (int minutes : {60, 3600}) {
      std::fprintf(stderr, "  %s, %d min, at most %u per artist ...\n", library.c_str(), minutes, most);
      double freeMillis = 0, limitedMillis = 0;
      int exact = 0, full = 0;
      for (int seed = 1; seed <= seeds; ++seed) {
        // Turn about first, so that neither always finds the caches warm.
        LcgRandomSource freeRandom(static_cast<std::uint32_t>(seed)), limitedRandom(static_cast<std::uint32_t>(seed));
        FillResult free, limited;
        for (int turn = 0; turn < 2; ++turn) {
          const double start = CpuMillis();
          if ((turn + seed) % 2 == 0) {
            free = FitExactly(candidates, {.totalSeconds = minutes * 60, .askShorten = ok}, freeRandom);
            freeMillis += CpuMillis() - start;
          } else {
            limited = FitExactly(candidates, {.totalSeconds = minutes * 60, .askShorten = ok, .limits = &limits},
                                 limitedRandom);
            limitedMillis += CpuMillis() - start;
          }
        }
        full += CheckArtistLimit(candidates, limits, limited, free, library + ", seed " + std::to_string(seed));
        exact += limited.remainingSeconds == 0;
      }
      const double ratio = limitedMillis / freeMillis;
      m_table.Add({library, "exact fit, at most " + std::to_string(most) + " songs per artist against none, " +
                                std::to_string(minutes) +
                                " min (" + std::to_string(seeds) + " seeds), exact " + std::to_string(exact) + "/" +
                                std::to_string(seeds) + ", an artist at the limit " + std::to_string(full) + "/" +
                                std::to_string(seeds),
                   Millis(limitedMillis / seeds), Millis(freeMillis / seeds), Ratio(limitedMillis, freeMillis),
                   "< 1.5 x", ratio < 1.5 ? "PASS" : "MISS"});
    }
  }

  const BenchTable& Table() const { return m_table; }

 private:
  FillResult Run(const CandidateList& candidates, int minutes, int seed, bool exactFit, FillFigures& figures) {
    LcgRandomSource random(static_cast<std::uint32_t>(seed));
    const auto ok = [] { return true; };
    const double start = CpuMillis();
    FillResult r = exactFit ? FitExactly(candidates, {.totalSeconds = minutes * 60, .askShorten = ok}, random)
                            : FillTime(candidates, {.totalSeconds = minutes * 60, .askShorten = ok}, random);
    figures.millis += CpuMillis() - start;
    ++figures.runs;
    figures.exact += r.remainingSeconds == 0;
    figures.errorSum += static_cast<double>(std::llabs(Error(r)));
    figures.worst = std::max(figures.worst, std::llabs(Error(r)));
    return r;
  }

  void AddRows(const std::string& library, int minutes, const FillFigures& usual, const FillFigures& exact) {
    auto describe = [&](const char* fill, const FillFigures& f) {
      return std::string(fill) + ", " + std::to_string(minutes) + " min: exact " +
             Fixed(100.0 * f.exact / f.runs, "%.1f %%") + ", mean error " + Fixed(f.errorSum / f.runs, "%.1f s") +
             ", worst " + std::to_string(f.worst) + " s";
    };
    m_table.Add({library, describe("usual", usual), Millis(usual.millis / usual.runs), "", "", "", ""});
    const double share = exact.exactPossible ? 100.0 * exact.exact / exact.exactPossible : 100.0;
    std::string line = describe("exact", exact) + "; exact where possible " + Fixed(share, "%.1f %%") + " of " +
                       std::to_string(exact.exactPossible);
    if (exact.cut) line += ", search cut " + std::to_string(exact.cut);
    m_table.Add({library, line, Millis(exact.millis / exact.runs), Millis(usual.millis / usual.runs),
                 Ratio(exact.millis / exact.runs, usual.millis / usual.runs), ">= 99 % exact",
                 share >= 99.0 ? "PASS" : "MISS"});
  }

  int m_seeds;
  std::FILE* m_errors;
  BenchTable m_table;
};

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  bool limitsOnly = false;
  const char* errorsPath = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
    } else if (std::strcmp(argv[i], "--limits") == 0) {
      limitsOnly = true;
    } else if (std::strcmp(argv[i], "--errors") == 0 && i + 1 < argc) {
      errorsPath = argv[++i];
    } else {
      std::fprintf(stderr, "usage: tunyra-fit-bench [--quick] [--limits] [--errors FILE]\n");
      return 2;
    }
  }
#ifndef __OPTIMIZE__
  std::fprintf(stderr, "warning: this is not an optimised build; the times mean little\n");
#endif
  std::FILE* errors = nullptr;
  if (errorsPath && !(errors = std::fopen(errorsPath, "w"))) {
    std::perror(errorsPath);
    return 2;
  }
  if (errors) std::fprintf(errors, "fill\tlibrary\tminutes\terror\n");

  const int seeds = quick ? 100 : 1000;
  FitBench bench(seeds, errors);
  LibraryFile sample;
  std::string error;
  if (!sample.ReadFile(TUNYRA_SAMPLE_LIBRARY, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!limitsOnly) bench.Accuracy("sample", EverySong(sample.Records()));
  std::vector<int> sizes = quick ? std::vector<int>{10000} : std::vector<int>{10000, 100000};
  if (limitsOnly) sizes.clear();
  for (int n : sizes) {
    ItemRecordList library = GenerateLibrary(n);
    bench.Accuracy(n == 10000 ? "10k" : "100k", EverySong(library));
    ReleaseItemRecordList(library);
  }
  {
    const int n = quick ? 100000 : 1000000;
    ItemRecordList library = GenerateLibrary(n);
    const CandidateList candidates = EverySong(library);
    const std::string size = n == 100000 ? "100k" : "1M";
    const int timingSeeds = quick ? 5 : 20;
    if (!limitsOnly) bench.Timing(size, candidates, timingSeeds);
    size_t artists = 0;
    const std::vector<std::uint32_t> artistOf = ArtistIds(library, artists);
    for (std::uint32_t most : {2u, 100u, 1000u})
      bench.ArtistLimitTiming(size + ", " + std::to_string(artists / 1000) + "k artists", candidates, artistOf, most,
                              timingSeeds);
    // Artists more than the limit has (the search's layers), and artists so few that the
    // limit holds the picks themselves back at 3600 minutes.
    struct Merge {
      std::uint32_t artists;
      bool skewed;
      std::uint32_t most;
    };
    for (const Merge merge : {Merge{1000, false, 100}, Merge{1000, false, 1000}, Merge{1000, true, 100},
                              Merge{1000, true, 1000}, Merge{10, false, 100}, Merge{1, false, 1000}}) {
      const std::vector<std::uint32_t> merged = MergedArtists(artistOf, merge.artists, merge.skewed);
      bench.ArtistLimitTiming(size + ", " + SongsPerArtist(merged), candidates, merged, merge.most, timingSeeds);
    }
    ReleaseItemRecordList(library);
  }
  if (errors) std::fclose(errors);

  std::printf("\nExact fit against the usual fill: %d seeds per row, every song of the library, duplicates off; error "
              "= total - time asked for; times are CPU per playlist, \"ours\" the exact fit, \"baseline\" the usual fill.\n\n",
              seeds);
  bench.Table().Print();
  std::printf("\n%d target(s) missed.\n", bench.Table().Misses());
  return 0;
}
