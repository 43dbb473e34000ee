#pragma once
// Deterministic synthetic libraries for the benchmarks, with the spreads of a real
// collection: about 12 songs per artist, albums of 8 to 15 songs, 40 genres of skewed
// popularity, lengths around a median of 230 s from 30 s to 20 minutes.

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_records.h"

// An owned list (malloc'd like the host's records); free it with ReleaseItemRecordList.
ItemRecordList GenerateLibrary(int count, std::uint64_t seed = 0x7475'6e79'7261ULL);

// The 40 genre names, most popular first.
const std::vector<std::string>& GeneratedGenres();
