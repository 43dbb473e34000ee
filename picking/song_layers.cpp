#include "picking/song_layers.h"

#include <algorithm>
#include <cmath>

#include "library/flat_set.h"
#include "library/text_hash.h"

namespace tunyra {

void SongLayers::Build(const std::vector<std::uint32_t>& usable, std::int64_t top) {
  const std::vector<Song> songs = SongsUpTo(usable, top);
  if (m_entries.cap) GroupByArtist(songs, top);
  GroupByLength(songs, top);
}

std::vector<SearchLayer> SongLayers::All() const {
  std::vector<SearchLayer> layers;
  for (std::uint32_t g = 0; g < m_groups.size(); ++g) layers.push_back({SearchLayer::Kind::OneLength, g});
  for (std::uint32_t c = 0; c < m_choices.size(); ++c) layers.push_back({SearchLayer::Kind::SeveralLengths, c});
  for (std::uint32_t a = 0; a < m_artists.size(); ++a) layers.push_back({SearchLayer::Kind::BoundArtist, a});
  return layers;
}

std::uint64_t SongLayers::Weight(SearchLayer layer) const {
  switch (layer.kind) {
    case SearchLayer::Kind::OneLength:
      return m_groups[layer.index].weight;
    case SearchLayer::Kind::SeveralLengths:
      return m_choices[layer.index].weight;
    case SearchLayer::Kind::BoundArtist:
      break;
  }
  return m_artists[layer.index].weight;
}

void SongLayers::CountLengths(SearchLayer layer, std::int32_t change, std::vector<std::int32_t>& lengths) const {
  switch (layer.kind) {
    case SearchLayer::Kind::OneLength:
      lengths[static_cast<std::size_t>(m_groups[layer.index].length)] += change;
      return;
    case SearchLayer::Kind::SeveralLengths: {
      const Choice& choice = m_choices[layer.index];
      for (std::uint32_t v = choice.begin; v < choice.end; ++v)
        lengths[static_cast<std::size_t>(m_variantLengths[v])] += change;
      return;
    }
    case SearchLayer::Kind::BoundArtist:
      break;
  }
  const ArtistLayer& artist = m_artists[layer.index];
  for (std::uint32_t i = artist.begin; i < artist.end; ++i) {
    const ArtistItem& item = m_items[i];
    for (std::uint32_t v = item.begin; v < (item.severalLengths ? item.end : item.begin + 1); ++v)
      lengths[static_cast<std::size_t>(Length(m_itemEntries[v]))] += change;
  }
}

void SongLayers::DrawFromGroup(std::size_t g, std::int64_t count, std::vector<std::uint32_t>& out) {
  const Group& group = m_groups[g];
  DrawSongs(&m_byLength[group.begin], &m_weightByLength[group.begin], group.end - group.begin, group.weight, count,
            out);
}

void SongLayers::DrawFromItem(std::size_t i, std::int64_t count, std::vector<std::uint32_t>& out) {
  const ArtistItem& item = m_items[i];
  DrawSongs(&m_itemEntries[item.begin], &m_itemWeights[item.begin], item.end - item.begin, item.weight, count, out);
}

// The songs of length up to `top`. With duplicates every entry is a song of its own.
std::vector<SongLayers::Song> SongLayers::SongsUpTo(const std::vector<std::uint32_t>& usable, std::int64_t top) {
  std::vector<Song> songs;
  songs.reserve(usable.size());
  if (m_entries.duplicates) {
    for (std::uint32_t entry : usable)
      if (Length(entry) <= top) songs.push_back({entry, 1, 0, true});
    return songs;
  }
  // Songs by file name (their first length), and by file name and length: a name's
  // other lengths hang after its first, and the second set finds them, however many.
  FlatSet<std::uint32_t> firstLengths(usable.size());
  FlatSet<std::uint32_t> otherLengths;
  for (std::uint32_t entry : usable) {
    if (Length(entry) > top) continue;
    const std::string_view name = Name(entry);
    const auto next = static_cast<std::uint32_t>(songs.size());
    const auto [first, newName] =
        firstLengths.Insert(HashText(name), next, [&](std::uint32_t song) { return Name(songs[song].entry) == name; });
    if (newName) {
      songs.push_back({entry, 1, 0, true});
      continue;
    }
    // With an artist limit the file name is the song of one artist, its first entry's.
    if (m_entries.cap && Artist(entry) != Artist(songs[first].entry)) continue;
    std::uint32_t same = first;
    if (Length(songs[first].entry) != Length(entry)) {
      const auto [other, newLength] =
          otherLengths.Insert(HashText(name, static_cast<std::uint32_t>(Length(entry))), next, [&](std::uint32_t song) {
            return Length(songs[song].entry) == Length(entry) && Name(songs[song].entry) == name;
          });
      same = other;
      if (newLength) {
        songs.push_back({entry, 0, songs[first].next, false});
        songs[first].next = same + 1;
      }
    }
    if (m_draws.Below(++songs[same].weight) == 0) songs[same].entry = entry;
  }
  return songs;
}

// Songs of one length into m_groups; file names at several lengths into m_choices;
// none of an artist the limit binds.
void SongLayers::GroupByLength(const std::vector<Song>& songs, std::int64_t top) {
  m_choices.clear();
  m_variants.clear();
  m_variantLengths.clear();
  for (const Song& song : songs) {
    if (!song.first || song.next == 0 || !OfFreeArtist(song)) continue;
    Choice choice{static_cast<std::uint32_t>(m_variants.size()), 0, 0};
    for (const Song* length = &song;; length = &songs[length->next - 1]) {
      m_variants.push_back(length->entry);
      m_variantLengths.push_back(Length(length->entry));
      choice.weight += length->weight;
      if (length->next == 0) break;
    }
    choice.end = static_cast<std::uint32_t>(m_variants.size());
    m_choices.push_back(choice);
  }
  auto alone = [&](const Song& song) { return song.first && song.next == 0 && OfFreeArtist(song); };
  std::vector<std::uint32_t> starts(static_cast<size_t>(top) + 2, 0);
  for (const Song& song : songs)
    if (alone(song)) ++starts[static_cast<size_t>(Length(song.entry)) + 1];
  for (size_t v = 1; v < starts.size(); ++v) starts[v] += starts[v - 1];
  m_byLength.assign(starts.back(), 0);
  m_weightByLength.assign(starts.back(), 0);
  std::vector<std::uint32_t> fill(starts.begin(), starts.end() - 1);
  for (const Song& song : songs) {
    if (!alone(song)) continue;
    const std::uint32_t at = fill[static_cast<size_t>(Length(song.entry))]++;
    m_byLength[at] = song.entry;
    m_weightByLength[at] = song.weight;
  }
  m_groups.clear();
  for (size_t v = 1; v + 1 < starts.size(); ++v) {
    if (starts[v + 1] == starts[v]) continue;
    std::uint64_t weight = 0;
    for (std::uint32_t at = starts[v]; at < starts[v + 1]; ++at) weight += m_weightByLength[at];
    m_groups.push_back({static_cast<std::int64_t>(v), starts[v], starts[v + 1], weight});
  }
}

// With an artist limit: the artists it binds (m_bound) and their songs as layers of
// items. It binds an artist with more songs than the limit (with duplicates, any),
// unless no more than that many of them fit in `top`.
void SongLayers::GroupByArtist(const std::vector<Song>& songs, std::int64_t top) {
  std::uint32_t artists = 0;
  for (const Song& song : songs) artists = std::max(artists, Artist(song.entry) + 1);
  std::vector<std::uint32_t> names(artists, 0);
  std::vector<std::int64_t> shortest(artists, top);
  for (const Song& song : songs) {
    const std::uint32_t artist = Artist(song.entry);
    names[artist] += song.first;
    shortest[artist] = std::min(shortest[artist], Length(song.entry));
  }
  m_bound.assign(artists, false);
  std::vector<std::uint32_t> starts(artists + 1, 0);
  for (size_t a = 0; a < artists; ++a) {
    const std::int64_t most = top / shortest[a];
    m_bound[a] = names[a] > 0 && std::min<std::int64_t>(most, m_entries.duplicates ? most : names[a]) > m_entries.cap;
    if (m_bound[a]) starts[a + 1] = names[a];
  }
  for (size_t a = 0; a < artists; ++a) starts[a + 1] += starts[a];
  std::vector<std::uint32_t> byArtist(starts.back());
  for (std::uint32_t k = 0; k < songs.size(); ++k)
    if (songs[k].first && m_bound[Artist(songs[k].entry)]) byArtist[starts[Artist(songs[k].entry)]++] = k;

  m_artists.clear();
  m_items.clear();
  m_itemEntries.clear();
  m_itemWeights.clear();
  std::vector<std::uint32_t> alone;
  std::uint32_t from = 0;
  for (size_t a = 0; a < artists; ++a) {
    if (!m_bound[a]) continue;
    ArtistLayer layer{static_cast<std::uint32_t>(m_items.size()), 0, 0, 0};
    alone.clear();
    for (; from < starts[a]; ++from) {
      const Song& song = songs[byArtist[from]];
      if (song.next == 0) {
        alone.push_back(byArtist[from]);
        continue;
      }
      ArtistItem item{static_cast<std::uint32_t>(m_itemEntries.size()), 0, 0, true};
      for (const Song* length = &song;; length = &songs[length->next - 1]) {
        m_itemEntries.push_back(length->entry);
        m_itemWeights.push_back(length->weight);
        item.weight += length->weight;
        layer.longest = std::max(layer.longest, Length(length->entry));
        if (length->next == 0) break;
      }
      item.end = static_cast<std::uint32_t>(m_itemEntries.size());
      m_items.push_back(item);
      layer.weight += item.weight;
    }
    std::sort(alone.begin(), alone.end(),
              [&](std::uint32_t x, std::uint32_t y) { return Length(songs[x].entry) < Length(songs[y].entry); });
    for (size_t k = 0; k < alone.size(); ++k) {
      const Song& song = songs[alone[k]];
      if (k == 0 || Length(song.entry) != Length(songs[alone[k - 1]].entry))
        m_items.push_back({static_cast<std::uint32_t>(m_itemEntries.size()), 0, 0, false});
      m_itemEntries.push_back(song.entry);
      m_itemWeights.push_back(song.weight);
      m_items.back().end = static_cast<std::uint32_t>(m_itemEntries.size());
      m_items.back().weight += song.weight;
      layer.weight += song.weight;
      layer.longest = std::max(layer.longest, Length(song.entry));
    }
    layer.end = static_cast<std::uint32_t>(m_items.size());
    m_artists.push_back(layer);
  }
}

// `count` of the songs entries[0, size) (weights alike, `weight` their sum).
void SongLayers::DrawSongs(std::uint32_t* entries, const std::uint32_t* weights, std::uint32_t size,
                           std::uint64_t weight, std::int64_t count, std::vector<std::uint32_t>& out) {
  if (!m_entries.duplicates && weight != size) {
    // Successive draws proportional to weight, without putting back: the lowest of
    // keys exponential with rate the weight.
    std::vector<std::pair<double, std::uint32_t>> keys(size);
    for (std::uint32_t k = 0; k < size; ++k) keys[k] = {-std::log(m_draws.Unit()) / weights[k], entries[k]};
    const auto last = keys.begin() + count;
    std::nth_element(keys.begin(), last - 1, keys.end());
    for (auto key = keys.begin(); key != last; ++key) out.push_back(key->second);
    return;
  }
  for (std::int64_t k = 0; k < count; ++k) {
    if (m_entries.duplicates) {
      out.push_back(entries[m_draws.Below(size)]);
    } else {
      const auto at = static_cast<std::uint32_t>(k) + static_cast<std::uint32_t>(m_draws.Below(size - k));
      std::swap(entries[k], entries[at]);
      out.push_back(entries[k]);
    }
  }
}

}  // namespace tunyra
