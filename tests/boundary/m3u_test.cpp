// Playlist entries read back as a player reads an extended M3U file.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "picking/playlist_text.h"
#include "tests/support/random_bytes.h"

namespace {

struct Entry {
  std::string length, title, path;
  bool operator==(const Entry&) const = default;
};

// A player's reading: lines end in `lineEnd`; blanks at a line's start are dropped and
// a line left empty is skipped; '#' starts a comment, "#EXTINF:" the next entry's length
// and title; any other line is a path, "./" in front of it naming the same file.
std::vector<Entry> ReadM3u(std::string_view text, std::string_view lineEnd) {
  std::vector<Entry> entries;
  Entry pending;
  while (!text.empty()) {
    const size_t end = text.find(lineEnd);
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + lineEnd.size());
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (line.empty()) continue;
    if (line.front() == '#') {
      if (line.rfind("#EXTINF:", 0) == 0) {
        const size_t comma = line.find(',');
        pending = {std::string(line.substr(8, comma - 8)), std::string(line.substr(comma + 1)), ""};
      }
      continue;
    }
    if (line.rfind("./", 0) == 0) line.remove_prefix(2);
    pending.path = line;
    entries.push_back(pending);
    pending = {};
  }
  return entries;
}

// The text with its line breaks as spaces; for a path, also "./" in front dropped.
std::string OneLine(std::string text, bool path = false) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return path && text.rfind("./", 0) == 0 ? text.substr(2) : text;
}

TEST(M3uEntry, RandomTitlesAndFileNamesReadBackAsTheyWereOrOnOneLine) {
  RandomBytes random(99);
  for (const std::string_view lineEnd : {"\n", "\r\n"}) {
    SCOPED_TRACE(lineEnd.size());
    std::string playlist = tunyra::M3uHeader(lineEnd);
    std::vector<Entry> written = {{"-1", "", "#1.mp3"}, {"0", "#EXTINF:1,x", "\n#2.mp3"}, {"3", "a,b", " 3.mp3"}};
    for (int i = 0; i < 3000; ++i) {
      std::string name = random.Text(8, std::string_view("\0", 1));
      if (name.empty()) name = "x";  // an empty name is a blank line, which names nothing
      written.push_back({std::to_string(random.Below(100000)), random.Text(8, std::string_view("\0", 1)), name});
    }
    for (const Entry& e : written) playlist += tunyra::M3uEntry(std::stoll(e.length), e.title, e.path, lineEnd);
    const std::vector<Entry> read = ReadM3u(playlist, lineEnd);
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) {
      const Entry expected = {written[i].length, OneLine(written[i].title), OneLine(written[i].path, true)};
      ASSERT_EQ(read[i], expected) << i << ": " << testing::PrintToString(written[i].title) << " "
                                   << testing::PrintToString(written[i].path);
    }
  }
}

}  // namespace
