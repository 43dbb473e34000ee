#pragma once
// The command line of tunyra-pick, tunyra-scan and the stand-in player, read one way: a
// table of options per program (name, short name, whether it takes a value, what it
// does, its help), from which the parser and --help are made.
//
// "--name=value" and "--name value" are the same; an option without a value refuses one
// after '='. "-h"/"--help" and "--version" are every program's, and "--" ends the
// options: what follows is an operand even when it starts with '-'. A lone "-" is an
// operand (standard input, standard output). Errors are one line, said the same way by
// every program.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/exit_codes.h"

namespace cli {

enum class ValueUse {
  None,      // "--name"; "--name=value" is refused
  Required,  // "--name value" or "--name=value"
  NonEmpty,  // as Required, and "" is refused too
};

template <class Options>
struct Option {
  const char* name;       // "--output"
  const char* shortName;  // "-o", or null
  ValueUse value;
  const char* valueName;  // for --help: "FILE", "N=KIND"; null for none
  // Applies the option; false with `error` set when its value is refused.
  bool (*apply)(const std::string& value, Options& options, std::string& error);
  const char* help;     // lines after the first are indented under it
  const char* heading;  // printed above this option in --help, or null
  unsigned group;       // the program's own grouping of options (0 for none)
};

// The `apply` of an option that takes no value and only turns `flag` on.
template <class Options, bool Options::*flag>
bool TurnOn(const std::string&, Options& options, std::string&) {
  return options.*flag = true;
}

// Who is reading the command line: the name in messages and --version, the text of
// --help around the options.
struct Program {
  const char* name;         // "tunyra-pick"
  const char* usage;      // from "Usage:" to the blank line before the options
  ExitCode lastExitCode;  // --help lists the codes up to this one; none for kExitOk
};

// One argument as the parser read it.
struct ReadArgument {
  enum class Kind { Option, Operand, EndOfOptions };
  Kind kind = Kind::Operand;
  std::string text;                  // the option's name as spelt ("--seed", "-o"), the operand, or "--"
  std::optional<std::string> value;  // the option's value, when it took one
  bool valueAfterEquals = false;     // "--name=value", not "--name value"
};

// What the parser found besides the options it applied.
struct Reading {
  bool help = false;
  bool version = false;
  std::vector<std::pair<std::string, unsigned>> given;  // each option as spelt, with its group
  std::vector<ReadArgument> arguments;                  // every argument, in order
  // The spelling of the first option of `group` given, or "" for none.
  std::string FirstOf(unsigned group) const;
};

namespace detail {

struct RowView {
  const char* name;
  const char* shortName;
  ValueUse value;
  const char* valueName;
  const char* help;
  const char* heading;
  unsigned group;
};

// The loop over the arguments; `apply` is called for the row at `index`.
bool Parse(const std::vector<std::string>& args, std::span<const RowView> rows,
           const std::function<bool(size_t index, const std::string& value, std::string& error)>& apply,
           const std::function<bool(const std::string& operand, std::string& error)>& operand, Reading& reading,
           std::string& error);
std::string Help(const Program& program, std::span<const RowView> rows);

template <class Options>
std::vector<RowView> Rows(std::span<const Option<Options>> table) {
  std::vector<RowView> rows;
  for (const Option<Options>& o : table)
    rows.push_back({o.name, o.shortName, o.value, o.valueName, o.help, o.heading, o.group});
  return rows;
}

}  // namespace detail

// Reads `args` (argv without the program) into `options`. `operand` takes each operand
// in turn. False with a one-line `error` at the first argument refused.
template <class Options>
bool ParseCommandLine(const std::vector<std::string>& args, std::span<const Option<Options>> table, Options& options,
                      const std::function<bool(const std::string& operand, std::string& error)>& operand,
                      Reading& reading, std::string& error) {
  const std::vector<detail::RowView> rows = detail::Rows(table);
  return detail::Parse(
      args, rows,
      [&](size_t index, const std::string& value, std::string& why) { return table[index].apply(value, options, why); },
      operand, reading, error);
}

template <class Options>
std::string HelpText(const Program& program, std::span<const Option<Options>> table) {
  return detail::Help(program, detail::Rows(table));
}

// The command that is read as `arguments` again, as one line a POSIX shell takes: the
// program's name, then each argument spelt as it was given.
std::string CommandText(const Program& program, const std::vector<ReadArgument>& arguments);

// "NAME VERSION", the version of the CMake project.
std::string VersionText(const Program& program);

// The one way a program reports a failure: "NAME: message" on stderr. A usage error adds
// the line "Try 'NAME --help'.".
void PrintError(const Program& program, const std::string& message);
void PrintUsageError(const Program& program, const std::string& message);

// Runs a program's body, turning running out of memory into its message and exit code.
int RunProgram(const Program& program, const std::function<int()>& body);

}  // namespace cli
