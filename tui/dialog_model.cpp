#include "tui/dialog_model.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "library/text_compare.h"
#include "library/text_fields.h"
#include "picking/artist_spread.h"
#include "picking/exact_fit.h"
#include "picking/pick_limits.h"
#include "picking/random_source.h"
#include "tools/tunyra_pick/matched_songs.h"
#include "tools/tunyra_pick/pick_command.h"
#include "tools/tunyra_pick/song_sieve.h"

namespace tunyra {

DialogModel::DialogModel(RecordView records) {
  m_snapshot.Rebuild(records);
  for (size_t c = 0; c < 4; ++c) SetKind(c, int(c));
}

size_t DialogModel::ValueCount(size_t c) const {
  const CSortedNameSet* set = m_snapshot.SetOfKind(m_columns[c].kind);
  return set ? size_t(set->GetSize()) : 0;
}

std::string DialogModel::Value(size_t c, size_t row) const {
  const CSortedNameSet* set = m_snapshot.SetOfKind(m_columns[c].kind);
  if (!set || row >= size_t(set->GetSize())) return "";
  const std::string_view value = set->GetAt(int(row));
  return m_columns[c].kind == kKindArtist ? MoveArticleToFront(value) : std::string(value);
}

void DialogModel::SetKind(size_t c, int kind) {
  ModelColumn& column = m_columns[c];
  column.kind = kind;
  column.ticked.assign(ValueCount(c), 0);
  column.tickedCount = 0;
  column.cursor = column.top = 0;
}

void DialogModel::SetLink(size_t c, ColumnLink link) {
  if (c >= 1 && c < 4) m_columns[c].link = link;
}

void DialogModel::Toggle(size_t c, size_t row) {
  ModelColumn& column = m_columns[c];
  if (row >= column.ticked.size()) return;
  column.ticked[row] ^= 1;
  column.tickedCount += column.ticked[row] ? 1 : size_t(-1);
}

void DialogModel::TickAll(size_t c) {
  std::fill(m_columns[c].ticked.begin(), m_columns[c].ticked.end(), 1);
  m_columns[c].tickedCount = m_columns[c].ticked.size();
}

void DialogModel::TickNone(size_t c) {
  std::fill(m_columns[c].ticked.begin(), m_columns[c].ticked.end(), 0);
  m_columns[c].tickedCount = 0;
}

void DialogModel::Reverse(size_t c) {
  for (std::uint8_t& tick : m_columns[c].ticked) tick ^= 1;
  m_columns[c].tickedCount = m_columns[c].ticked.size() - m_columns[c].tickedCount;
}

void DialogModel::MoveCursor(size_t c, long long delta) {
  const long long count = static_cast<long long>(ValueCount(c));
  if (count == 0) return;
  const long long row = std::clamp(static_cast<long long>(m_columns[c].cursor) + delta, 0LL, count - 1);
  m_columns[c].cursor = size_t(row);
}

void DialogModel::SetCursor(size_t c, size_t row) {
  const size_t count = ValueCount(c);
  if (count > 0) m_columns[c].cursor = std::min(row, count - 1);
}

std::optional<size_t> DialogModel::Search(size_t c, std::string_view text, size_t from) const {
  const size_t count = ValueCount(c);
  if (text.empty() || count == 0) return std::nullopt;
  const auto lower = [](char ch) { return ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch; };
  const auto holds = [&](std::string_view value) {
    return std::search(value.begin(), value.end(), text.begin(), text.end(),
                       [&](char a, char b) { return lower(a) == lower(b); }) != value.end();
  };
  for (size_t step = 0; step < count; ++step) {
    const size_t row = (from + step) % count;
    if (holds(Value(c, row))) return row;
  }
  return std::nullopt;
}

std::vector<std::string> DialogModel::TickedValues(size_t c) const {
  std::vector<std::string> values;
  values.reserve(m_columns[c].tickedCount);
  for (size_t row = 0; row < m_columns[c].ticked.size(); ++row)
    if (m_columns[c].ticked[row]) values.push_back(Value(c, row));
  return values;
}

PickOptions DialogModel::PickOptionsNow() const {
  PickOptions options = m_settings;
  for (size_t c = 0; c < 4; ++c) {
    options.kinds[c] = ConditionKind(m_columns[c].kind);
    options.checked[c] = TickedValues(c);
    if (c > 0) options.links[c - 1] = m_columns[c].link;
  }
  return options;
}

// The same steps as tunyra-pick's reading and picking: its sieve and matched songs over
// the snapshot's records, then its fill.
FoundSongs DialogModel::FindSongs(std::uint32_t seed, bool shorten) const {
  FoundSongs found;
  found.seed = seed;
  const PickOptions options = PickOptionsNow();
  std::array<ColumnCondition, 4> columns;
  for (size_t c = 0; c < 4; ++c) {
    columns[c].kind = options.kinds[c];
    columns[c].checkedTexts = options.checked[c];
  }
  const ColumnMatcher matcher(columns);
  if (!matcher.AnyActive()) {
    found.message = kNoConditionText;
    return found;
  }
  MatchedSongs songs(matcher.Active(), options.links, options.NeedsArtists());
  SongSieve sieve(options, columns, matcher, songs);
  for (const ItemRecord& record : m_snapshot.Records()) {
    LibraryTextLengths lengths{};
    for (size_t f = 0; f < lengths.size(); ++f) {
      const char* text = record.*kTextFields[f].member;
      lengths[f] = text ? std::strlen(text) : 0;
    }
    sieve.Keep(record, lengths);
  }
  MatchedSongs::Candidates taken = songs.TakeCandidates();
  if (taken.folded == 0) {
    found.outcome = FoundSongs::Outcome::NoMatch;
    found.message = kNoMatchText;
    return found;
  }
  if (taken.list.empty()) {
    found.outcome = FoundSongs::Outcome::NoneAllowed;
    found.message = taken.excluded == taken.folded ? "no matching song is left after the excluded values"
                                                   : "no matching song lies within the length limits";
    return found;
  }
  LcgRandomSource random(seed);
  const std::int32_t requested = options.minutes * 60;
  bool asked = false;
  const ShortenQuestion answer = [&] {
    asked = true;
    return shorten;
  };
  PickLimits limits;
  limits.artistOf = std::move(taken.artistOf);
  limits.maxPerArtist = options.maxPerArtist;
  const FillRequest request{
      .totalSeconds = requested, .allowDuplicates = options.allowDuplicates, .askShorten = answer, .limits = &limits};
  FillResult fill =
      options.fit == PickFit::Exact ? FitExactly(taken.list, request, random) : FillTime(taken.list, request, random);
  if (fill.cancelled) {
    found.outcome = FoundSongs::Outcome::TooShortCancelled;
    found.message = kTooShortQuestion;
    return found;
  }
  if (fill.picks.empty()) {
    found.outcome = FoundSongs::Outcome::NothingPicked;
    found.message = NothingPickedText(taken.list);
    return found;
  }
  std::vector<size_t> order(fill.picks.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (options.spread) {
    std::vector<std::uint32_t> artists;
    for (std::uint32_t index : fill.indices) artists.push_back(limits.artistOf[index]);
    order = SpreadArtists(artists);
  }
  found.outcome = FoundSongs::Outcome::Playlist;
  for (size_t at : order) {
    const Candidate pick = fill.picks[at];
    found.songs.push_back({pick.fileName, pick.title, pick.length});
    found.totalSeconds += pick.length;
  }
  found.targetSeconds = fill.targetSeconds;
  found.shortened = asked;
  found.stop = fill.stop;
  found.message = StopNote(fill, options.maxPerArtist);
  return found;
}

}  // namespace tunyra
