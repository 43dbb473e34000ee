#include <algorithm>
#include "bench/baseline_picking.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "library/item_records.h"

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

std::string SetValue(const char* field, const char* placeholder, bool artist) {
  const char* text = OrEmpty(field);
  if (!text[0]) return placeholder;
  if (artist && std::strlen(text) >= 4 && strncasecmp(text, "the ", 4) == 0) return std::string(text + 4) + ", The";
  return text;
}

const char* FieldOf(const ItemRecord& item, int kind) {
  switch (kind) {
    case 0:
      return item.artist;
    case 1:
      return item.title;
    case 2:
      return item.album;
    case 3:
      return item.genre;
  }
  return nullptr;
}

bool Matches(const ItemRecord& item, const std::vector<std::string>& texts, int kind) {
  if (kind < 0 || kind > 3) return false;
  const char* field = OrEmpty(FieldOf(item, kind));
  for (const std::string& text : texts)
    if (std::strcmp(field, text.c_str()) == 0) return true;
  return false;
}

}  // namespace

void BaselineSnapshot::Rebuild(const ItemRecordList& source) {
  albums.RemoveAll();
  artists.RemoveAll();
  genres.RemoveAll();
  titles.RemoveAll();
  AppendItemRecords(records, source);
  for (int i = 0; i < source.size; ++i) {
    const ItemRecord& r = source.items[i];
    albums.Add(SetValue(r.album, "(no album)", false).c_str());
    artists.Add(SetValue(r.artist, "(no artist)", true).c_str());
    genres.Add(SetValue(r.genre, "(no genre)", false).c_str());
    titles.Add(SetValue(r.title, "(no title)", false).c_str());
  }
}

void BaselineSnapshot::Release() {
  albums.RemoveAll();
  artists.RemoveAll();
  genres.RemoveAll();
  titles.RemoveAll();
  ReleaseItemRecordList(records);
}

const BaselineNameSet& BaselineSnapshot::SetOfKind(int kind) const {
  switch (kind) {
    case 0:
      return artists;
    case 1:
      return titles;
    case 2:
      return albums;
  }
  return genres;
}

void BaselineCandidates::Append(const char* fileName, const char* title, std::int32_t length) {
  fileNames.push_back(OrEmpty(fileName));
  titles.push_back(OrEmpty(title));
  lengths.push_back(length);
}

bool BaselineBuildCandidates(const ItemRecordList& items, const std::array<ColumnCondition, 4>& columns,
                             const std::array<ColumnLink, 3>& links, BaselineCandidates& result) {
  bool any = false;
  for (const ColumnCondition& c : columns) any = any || !c.checkedTexts.empty();
  if (!any) return false;

  std::array<BaselineCandidates, 4> lists;
  for (int i = 0; i < items.size; ++i) {
    const ItemRecord& item = items.items[i];
    for (size_t c = 0; c < 4; ++c) {
      if (columns[c].checkedTexts.empty()) continue;
      if (Matches(item, columns[c].checkedTexts, columns[c].kind)) lists[c].Append(item.filename, item.title, item.length);
    }
  }

  result = lists[0];
  for (size_t c = 1; c < 4; ++c) {
    if (columns[c].checkedTexts.empty()) continue;
    const BaselineCandidates& column = lists[c];
    if (links[c - 1] == ColumnLink::Or) {
      for (size_t i = 0; i < column.size(); ++i) result.Append(column.fileNames[i], column.titles[i], column.lengths[i]);
      continue;
    }
    for (size_t i = 0; i < result.size(); ++i) {
      bool found = false;
      for (size_t j = 0; j < column.size(); ++j)
        if (std::strcmp(result.fileNames[i], column.fileNames[j]) == 0) found = true;
      if (!found) result.fileNames[i] = "";
    }
  }

  size_t kept = 0;
  for (size_t i = 0; i < result.size(); ++i) {
    if (result.fileNames[i][0] == '\0') continue;
    result.fileNames[kept] = result.fileNames[i];
    result.titles[kept] = result.titles[i];
    result.lengths[kept] = result.lengths[i];
    ++kept;
  }
  result.fileNames.resize(kept);
  result.titles.resize(kept);
  result.lengths.resize(kept);
  return kept > 0;
}

BaselineFill BaselineFillTime(BaselineCandidates candidates, std::int32_t totalSeconds, bool allowDuplicates,
                              RandomSource& random, bool shorten) {
  BaselineFill fill;
  const size_t count = candidates.size();
  std::int64_t sum = 0;
  std::int64_t measured = 0;
  size_t unused = 0;
  for (size_t i = 0; i < count; ++i) {
    if (candidates.lengths[i] < 0) {
      candidates.fileNames[i] = "";
      continue;
    }
    sum += candidates.lengths[i];
    ++measured;
    ++unused;
  }
  std::int64_t remaining = totalSeconds;
  if (!allowDuplicates && sum < remaining) {
    if (!shorten) {
      fill.cancelled = true;
      return fill;
    }
    remaining = sum;
  }
  const std::int64_t average = measured ? sum / measured : 0;
  std::vector<size_t> pool;
  if (count > 32768)
    for (size_t i = 0; i < count; ++i)
      if (candidates.fileNames[i][0] != '\0') pool.push_back(i);
  while (remaining > 0 && unused > 0 && average > 0) {
    size_t index = count;
    if (remaining / average >= 2) {
      if (count <= 32768) {
        index = static_cast<size_t>(random.Next()) % count;
        if (candidates.fileNames[index][0] == '\0') continue;
      } else {
        // Beyond one draw's reach a combined draw chooses among the unused entries.
        const std::uint64_t high = static_cast<unsigned>(random.Next());
        const std::uint64_t low = static_cast<unsigned>(random.Next());
        index = pool[static_cast<size_t>(((high << 15) | low) % pool.size())];
      }
    } else {
      std::int64_t bound = 5 * average;
      for (size_t i = 0; i < count; ++i) {
        if (candidates.fileNames[i][0] == '\0') continue;
        std::int64_t distance = remaining - candidates.lengths[i];
        if (distance < 0) distance = -distance;
        if (distance < bound) {
          bound = distance;
          index = i;
        }
      }
      if (index == count) break;
      if (allowDuplicates && candidates.lengths[index] == 0) break;
    }
    fill.picks.Append(candidates.fileNames[index], candidates.titles[index], candidates.lengths[index]);
    remaining -= candidates.lengths[index];
    if (!allowDuplicates) {
      candidates.fileNames[index] = "";
      --unused;
      if (count > 32768) {
        // The used entry trades places with the last one.
        *std::find(pool.begin(), pool.end(), index) = pool.back();
        pool.pop_back();
      }
    }
  }
  return fill;
}
