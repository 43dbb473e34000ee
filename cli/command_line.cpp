#include "cli/command_line.h"

#include <cstdio>
#include <new>

#include "cli/near_miss.h"
#include "cli/shell_words.h"
#include "library/printable_path.h"

namespace cli {

namespace {

// Options are listed with their descriptions from this column on.
constexpr size_t kHelpColumn = 22;

std::string Indented(const char* text) {
  std::string out;
  for (const char* c = text; *c != '\0'; ++c) {
    out += *c;
    if (*c == '\n') out.append(kHelpColumn, ' ');
  }
  return out;
}

void AddOptionLine(std::string& help, const std::string& spelling, const char* text) {
  help += "  " + spelling;
  // help2man wants at least two spaces between an option and its description.
  if (2 + spelling.size() + 2 > kHelpColumn)
    help += "\n" + std::string(kHelpColumn, ' ');
  else
    help.append(kHelpColumn - 2 - spelling.size(), ' ');
  help += Indented(text) + '\n';
}

}  // namespace

std::string Reading::FirstOf(unsigned group) const {
  for (const auto& [name, optionGroup] : given)
    if (optionGroup == group) return name;
  return "";
}

namespace detail {

bool Parse(const std::vector<std::string>& args, std::span<const RowView> rows,
           const std::function<bool(size_t index, const std::string& value, std::string& error)>& apply,
           const std::function<bool(const std::string& operand, std::string& error)>& operand, Reading& reading,
           std::string& error) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    if (optionsEnded || name.size() < 2 || name[0] != '-') {
      if (!operand(name, error)) return false;
      reading.arguments.push_back({ReadArgument::Kind::Operand, name, std::nullopt, false});
      continue;
    }
    if (name == "--") {
      optionsEnded = true;
      reading.arguments.push_back({ReadArgument::Kind::EndOfOptions, name, std::nullopt, false});
      continue;
    }
    std::string value;
    bool hasInlineValue = false;
    if (name.rfind("--", 0) == 0) {
      const size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
        hasInlineValue = true;
      }
    }
    const auto read = [&](std::optional<std::string> taken) {
      reading.arguments.push_back({ReadArgument::Kind::Option, name, std::move(taken), hasInlineValue});
    };
    // Help and version, like every program's: --help accepts and ignores a value.
    if (name == "--help" || name == "-h") {
      reading.help = true;
      read(hasInlineValue ? std::optional(value) : std::nullopt);
      continue;
    }
    if (name == "--version") {
      if (hasInlineValue) {
        error = name + " takes no value";
        return false;
      }
      reading.version = true;
      read(std::nullopt);
      continue;
    }
    size_t index = 0;
    while (index < rows.size() && name != rows[index].name &&
           (rows[index].shortName == nullptr || name != rows[index].shortName))
      ++index;
    if (index == rows.size()) {
      std::vector<std::string> names = {"--help", "--version"};
      for (const RowView& row : rows) names.push_back(row.name);
      error = "unknown option '" + tunyra::PrintablePath(args[i]) + "'";
      if (const std::string guess = DidYouMean(NearMisses(name, names), false); !guess.empty()) error += ";" + guess;
      return false;
    }
    const RowView& row = rows[index];
    reading.given.emplace_back(name, row.group);
    if (row.value == ValueUse::None && hasInlineValue) {
      error = name + " takes no value";
      return false;
    }
    if (row.value != ValueUse::None && !hasInlineValue) {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (row.value == ValueUse::NonEmpty && value.empty()) {
      error = name + " needs a value";
      return false;
    }
    if (!apply(index, value, error)) return false;
    read(row.value == ValueUse::None ? std::nullopt : std::optional(value));
  }
  return true;
}

std::string Help(const Program& program, std::span<const RowView> rows) {
  std::string help = std::string(program.usage) + "\n";
  for (const RowView& row : rows) {
    if (row.heading != nullptr) help += std::string(&row == &rows.front() ? "" : "\n") + row.heading + "\n";
    std::string spelling = row.shortName != nullptr ? std::string(row.shortName) + ", " + row.name : row.name;
    if (row.valueName != nullptr) spelling += std::string(" ") + row.valueName;
    AddOptionLine(help, spelling, row.help);
  }
  AddOptionLine(help, "-h, --help", "this text.");
  AddOptionLine(help, "--version", "the program's name and version.");
  AddOptionLine(help, "--", "the end of the options: every argument after it is an\noperand, even one that starts with '-'.");
  for (const RowView& row : rows) {
    if (row.value == ValueUse::None) continue;
    const std::string example = std::string(row.name) + " " + row.valueName + " or " + row.name + "=" + row.valueName;
    help += "\nOptions taking a value accept it as the next argument or after '='\n(" + example + ").\n";
    break;
  }
  return program.lastExitCode == kExitOk ? help : help + "\n" + ExitCodeHelp(program.lastExitCode);
}

}  // namespace detail

std::string CommandText(const Program& program, const std::vector<ReadArgument>& arguments) {
  std::vector<std::string> words = {program.name};
  for (const ReadArgument& argument : arguments) {
    const bool joined = argument.value && argument.valueAfterEquals;
    words.push_back(joined ? argument.text + "=" + *argument.value : argument.text);
    if (argument.value && !joined) words.push_back(*argument.value);
  }
  return ShellLine(words);
}

std::string VersionText(const Program& program) { return std::string(program.name) + " " + TUNYRA_VERSION + "\n"; }

void PrintError(const Program& program, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program.name, message.c_str());
}

void PrintUsageError(const Program& program, const std::string& message) {
  PrintError(program, message + "\nTry '" + program.name + " --help'.");
}

int RunProgram(const Program& program, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    PrintError(program, "out of memory");
    return kExitFailure;
  }
}

}  // namespace cli
