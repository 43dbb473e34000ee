#pragma once
// The Select Songs dialog of the terminal program, without the terminal: the time, the
// four columns (kind, Or/And link, check-list, cursor, search), the options that
// tunyra-pick has, and "Find Songs". The screen layer draws it and feeds it keys; the
// tests drive it directly.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_records.h"
#include "library/library_snapshot.h"
#include "picking/candidate_matching.h"
#include "picking/time_fill.h"
#include "tools/tunyra_pick/pick_options.h"

namespace tunyra {

// One condition column. Values are read from the snapshot's set on demand, so a column
// of a million values costs a byte per value for its ticks and nothing else.
struct ModelColumn {
  int kind = 0;
  ColumnLink link = ColumnLink::Or;  // to the columns on its left; unused on the first
  std::vector<std::uint8_t> ticked;
  size_t cursor = 0;
  size_t top = 0;  // first row shown, kept by the screen
  size_t tickedCount = 0;
};

// What "Find Songs" gave: a playlist, or why there is none.
struct FoundSongs {
  enum class Outcome { Playlist, NoCondition, NoMatch, NoneAllowed, TooShortCancelled, NothingPicked };
  Outcome outcome = Outcome::NoCondition;
  std::string message;  // for every outcome but Playlist; a note beside a playlist
  struct Song {
    std::string fileName, title;
    std::int32_t length = 0;
  };
  std::vector<Song> songs;
  long long totalSeconds = 0;
  std::int64_t targetSeconds = 0;  // the time filled (shortened after OK)
  bool shortened = false;
  std::uint32_t seed = 0;
  FillStop stop = FillStop::TimeUsedUp;
};

class DialogModel {
 public:
  // Takes a copy of the records, as the dialog takes its snapshot.
  explicit DialogModel(RecordView records);

  // tunyra-pick's options with the columns, links and ticks of this dialog; the fill,
  // constraints and seed come from Settings().
  PickOptions& Settings() { return m_settings; }
  const PickOptions& Settings() const { return m_settings; }

  const ModelColumn& Column(size_t c) const { return m_columns[c]; }
  size_t ValueCount(size_t c) const;
  // The value in row `row` of column c, as the column shows it.
  std::string Value(size_t c, size_t row) const;

  // A new kind empties the column's ticks and search, as the dialog's kind box does.
  void SetKind(size_t c, int kind);
  void SetLink(size_t c, ColumnLink link);  // c from 1 to 3
  void Toggle(size_t c, size_t row);
  void TickAll(size_t c);
  void TickNone(size_t c);
  void Reverse(size_t c);
  bool IsTicked(size_t c, size_t row) const { return row < m_columns[c].ticked.size() && m_columns[c].ticked[row]; }

  // The cursor, kept inside the list; moves by `delta` rows, or to a row.
  void MoveCursor(size_t c, long long delta);
  void SetCursor(size_t c, size_t row);
  // The first row at or after `from` (wrapping) whose value holds `text`, ignoring the
  // case of ASCII letters; none for an empty text or no such row.
  std::optional<size_t> Search(size_t c, std::string_view text, size_t from) const;

  // Ticked values of column c in list order.
  std::vector<std::string> TickedValues(size_t c) const;
  // Settings() with this dialog's columns: what tunyra-pick takes for the same picks.
  PickOptions PickOptionsNow() const;

  // Picks as tunyra-pick does with PickOptionsNow() and `seed`; `shorten` answers the
  // too-short question (OK true). Cancel gives TooShortCancelled before anything is
  // drawn, so the screen asks the user then and finds again with the answer OK.
  FoundSongs FindSongs(std::uint32_t seed, bool shorten) const;

 private:
  LibrarySnapshot m_snapshot;
  std::array<ModelColumn, 4> m_columns;
  PickOptions m_settings;
};


}  // namespace tunyra
