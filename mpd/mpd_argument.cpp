#include "mpd/mpd_argument.h"

namespace tunyra {

std::string MpdRefusalText(const MpdRefusal& refusal) {
  switch (refusal.fault) {
    case MpdArgumentFault::None:
      return "";
    case MpdArgumentFault::LineFeed:
      return "holds a line break, which would end MPD's command there";
    case MpdArgumentFault::CarriageReturn:
      return "holds a carriage return, which MPD's protocol cannot carry inside one argument";
    case MpdArgumentFault::Nul:
      return "holds a NUL byte, which MPD's protocol cannot carry";
    case MpdArgumentFault::TooLong:
      return "makes a command of " + std::to_string(refusal.bytes) + " bytes with its line end, more than the " +
             std::to_string(kMpdCommandMax + 1) + " that libmpdclient sends in one";
  }
  return "";
}

std::optional<MpdCommand> MpdCommand::Make(std::string_view name, std::initializer_list<std::string_view> arguments,
                                           MpdRefusal& refusal) {
  refusal = {};
  MpdCommand command;
  command.m_line = name;
  size_t index = 0;
  for (std::string_view argument : arguments) {
    command.m_line += " \"";
    for (char c : argument) {
      if (c == '\n' || c == '\r' || c == '\0') {
        refusal.fault = c == '\n' ? MpdArgumentFault::LineFeed
                        : c == '\r' ? MpdArgumentFault::CarriageReturn
                                    : MpdArgumentFault::Nul;
        refusal.argument = index;
        return std::nullopt;
      }
      if (c == '"' || c == '\\') command.m_line += '\\';
      command.m_line += c;
    }
    command.m_line += '"';
    ++index;
  }
  if (command.m_line.size() > kMpdCommandMax) {
    refusal.fault = MpdArgumentFault::TooLong;
    refusal.bytes = command.m_line.size() + 1;
    return std::nullopt;
  }
  return command;
}

}  // namespace tunyra
