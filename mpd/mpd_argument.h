#pragma once
// The one way our texts enter MPD's protocol: a command line whose arguments are quoted
// so that MPD reads each back as exactly that one value, or refused. MPD reads one
// command per line, so a line break inside an argument would start a command of its
// own; no quoting carries it (nor a carriage return, nor a NUL, which ends a C string).
// Pure C++, without libmpdclient, so the fuzz target and the tests link it alone.

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace tunyra {

// libmpdclient's output buffer holds 4096 bytes, the line feed included; a longer
// command it does not send at all ("Not enough buffer space").
constexpr size_t kMpdCommandMax = 4095;

// What keeps a command from going to MPD.
enum class MpdArgumentFault { None, LineFeed, CarriageReturn, Nul, TooLong };

struct MpdRefusal {
  MpdArgumentFault fault = MpdArgumentFault::None;
  size_t argument = 0;  // which argument (from 0); for TooLong the line as a whole
  size_t bytes = 0;     // for TooLong: what the line would take
};

// "holds a line break", ... : why, in words after the name of what was refused.
std::string MpdRefusalText(const MpdRefusal& refusal);

// One command line for MPD. Made only by Make, so every argument that reaches MPD has
// passed the check.
class MpdCommand {
 public:
  // `name` is a word of the protocol ("add", "playlistadd"); each argument goes in
  // double quotes with '"' and '\' escaped by a backslash, as MPD's tokenizer reads a
  // quoted argument. Nothing, with `refusal` saying why, when an argument cannot be one
  // or the line would be longer than kMpdCommandMax.
  static std::optional<MpdCommand> Make(std::string_view name, std::initializer_list<std::string_view> arguments,
                                        MpdRefusal& refusal);

  const std::string& Line() const { return m_line; }  // without the line end

 private:
  std::string m_line;
};

}  // namespace tunyra
