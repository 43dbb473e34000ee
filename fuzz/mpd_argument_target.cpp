// MPD's command lines from any arguments: each is refused, or read back by MPD's
// tokenizer as exactly that argument, all on one line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"
#include "mpd/mpd_argument.h"

using namespace tunyra;

namespace fuzz {

namespace {

// The plain model of how MPD reads a line: the line ends at the first line feed; words
// stand between spaces; a word in double quotes runs to the next '"', a backslash taking
// the character after it as it is, and the line ending first is an error. False when
// MPD would refuse the line; `lineEnd` is where the line ended.
bool ReadMpdLine(std::string_view text, std::vector<std::string>& words, size_t& lineEnd) {
  lineEnd = text.find('\n');
  if (lineEnd == std::string_view::npos) return false;
  std::string_view line = text.substr(0, lineEnd);
  line = line.substr(0, line.find('\0'));  // MPD holds the line as a C string
  words.clear();
  size_t at = 0;
  while (at < line.size()) {
    if (line[at] == ' ') {
      ++at;
      continue;
    }
    std::string word;
    if (line[at] != '"') {
      while (at < line.size() && line[at] != ' ' && line[at] != '"') word += line[at++];
    } else {
      for (++at;; ++at) {
        if (at < line.size() && line[at] == '\\') {
          ++at;
        } else if (at < line.size() && line[at] == '"') {
          break;
        }
        if (at >= line.size()) return false;  // no closing quote before the line's end
        word += line[at];
      }
      ++at;
      if (at < line.size() && line[at] != ' ') return false;  // a space must follow
    }
    words.push_back(std::move(word));
  }
  return true;
}

}  // namespace

std::string MpdArgumentTarget(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  // Up to three arguments; the last takes what is left, so long ones reach the limit.
  const unsigned count = in.Below(4);
  std::vector<std::string> arguments;
  for (unsigned i = 0; i < count; ++i)
    arguments.push_back(i + 1 < count ? in.Bytes(in.Below(2) ? 16 : 5000) : in.Rest());
  std::vector<std::string_view> views(arguments.begin(), arguments.end());

  MpdRefusal refusal;
  std::optional<MpdCommand> command;
  switch (count) {
    case 0: command = MpdCommand::Make("status", {}, refusal); break;
    case 1: command = MpdCommand::Make("add", {views[0]}, refusal); break;
    case 2: command = MpdCommand::Make("playlistadd", {views[0], views[1]}, refusal); break;
    default: command = MpdCommand::Make("rename", {views[0], views[1], views[2]}, refusal); break;
  }

  // What must be refused: a line feed, a carriage return or a NUL in an argument, or a
  // line (quotes and escapes counted) longer than libmpdclient sends.
  size_t length = count == 0 ? 6 : count == 1 ? 3 : count == 2 ? 11 : 6;
  bool unsendable = false;
  for (const std::string& argument : arguments) {
    length += 3 + argument.size();
    for (char c : argument) {
      unsendable = unsendable || c == '\n' || c == '\r' || c == '\0';
      length += c == '"' || c == '\\';
    }
  }
  const bool tooLong = length > kMpdCommandMax;
  if (!command) {
    if (!unsendable && !tooLong) return "refused a command that can go: " + MpdRefusalText(refusal);
    if (unsendable == (refusal.fault == MpdArgumentFault::TooLong)) return "refused for the wrong reason";
    return "";
  }
  if (unsendable || tooLong) return "made a command that cannot go";
  const std::string line = command->Line() + "\n";
  if (line.size() != length + 1) return "the line's length is not what its quoting takes";
  std::vector<std::string> words;
  size_t lineEnd = 0;
  if (!ReadMpdLine(line, words, lineEnd)) return "MPD cannot read the line back";
  if (lineEnd + 1 != line.size()) return "the command spans more than one line";
  if (words.size() != count + 1) return "MPD reads another number of arguments";
  for (unsigned i = 0; i < count; ++i)
    if (words[i + 1] != arguments[i]) return "MPD reads argument " + std::to_string(i) + " back changed";
  return "";
}

}  // namespace fuzz
