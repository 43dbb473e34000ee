#pragma once
// The fuzz targets' bodies, shared by the libFuzzer programs and the native replay test
// of the kept inputs, so both run the same code. Each body feeds one input to an entry
// point of the core and checks what must hold for every input; it returns "" when all
// holds and otherwise says what did not. Memory faults are the sanitizers' to report.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

using TargetBody = std::string (*)(const std::uint8_t* data, std::size_t size);

// The library file reader: anything it accepts formats and parses back to the same
// records, and its owned copy releases cleanly.
std::string LibraryFileTarget(const std::uint8_t* data, std::size_t size);
// Rebuild and Release of the snapshot, and the record operations, on host records with
// null, empty, huge and repeated texts and odd extended information.
std::string RebuildTarget(const std::uint8_t* data, std::size_t size);
// BuildCandidates from arbitrary records, column kinds, checked texts and links.
std::string BuildCandidatesTarget(const std::uint8_t* data, std::size_t size);
// FillTime from arbitrary lengths, totals, options, seeds and answers: it ends, and the
// picks account for the time.
std::string FillTimeTarget(const std::uint8_t* data, std::size_t size);
// FitExactly under an artist limit on small libraries, against every playlist the limit
// allows: the closest total, never further with a looser limit, tables bounded.
std::string ExactFitTarget(const std::uint8_t* data, std::size_t size);
// The bitmap region scan from arbitrary sizes, pixels and key colours.
std::string RegionScanTarget(const std::uint8_t* data, std::size_t size);
// MPD's command lines from any arguments: refused, or read back by MPD's tokenizer as
// exactly those arguments on one line.
std::string MpdArgumentTarget(const std::uint8_t* data, std::size_t size);
// The scan's tag text mending from any bytes, as UTF-8 and as UTF-16 units, against a
// plain decoder: UTF-8 out, valid text unchanged, one U+FFFD for each bad byte or unit.
std::string TagTextTarget(const std::uint8_t* data, std::size_t size);

struct Target {
  const char* name;  // also the folder name of its corpus and kept inputs
  TargetBody body;
};

inline constexpr Target kTargets[] = {
    {"library_file", LibraryFileTarget}, {"rebuild", RebuildTarget},
    {"build_candidates", BuildCandidatesTarget}, {"fill_time", FillTimeTarget},
    {"exact_fit", ExactFitTarget},
    {"region_scan", RegionScanTarget},
    {"mpd_argument", MpdArgumentTarget},
    {"tag_text", TagTextTarget},
};

}  // namespace fuzz
