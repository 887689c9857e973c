// Reading a command line by a program's option table: --name, --name=value, --name value, -l,
// -lvalue, -l value, -- and the system's help switch; the files named after the options.
#include "front/command_line.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "front/every_program.h"
#include "terminal/console_window.h"

namespace front {
namespace {

// The option a long form (`letter` '\0') or a short form names, among the program's own and
// those of every program.
const Option* find_option(const Program& program, std::string_view name, char letter) {
  const auto named = [&](const Option& o) {
    return letter != '\0' ? o.letter == letter : o.name == name;
  };
  const auto own = std::find_if(program.options.begin(), program.options.end(), named);
  if (own != program.options.end()) return &*own;
  const auto* every = std::find_if(detail::kEveryProgram.begin(), detail::kEveryProgram.end(),
                                   [&](const Option* o) { return named(*o); });
  return every == detail::kEveryProgram.end() ? nullptr : *every;
}

Arguments refused(UsageError::Kind kind, std::string why) {
  Arguments a;
  a.action = Arguments::Action::usage_error;
  a.error = {kind, std::move(why)};
  return a;
}

}  // namespace

Arguments read_arguments(const Program& program, std::span<const std::string> arguments) {
  Arguments a;
  bool options_ended = false;
  for (std::size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    const bool is_option = !options_ended && argument.size() > 1 && argument.front() == '-';
    if (!is_option && !options_ended && terminal::is_system_help_switch(argument)) {
      a.action = Arguments::Action::help;
      continue;
    }
    if (!is_option) {
      if (a.files.size() == program.most_files) {
        return refused(UsageError::Kind::files,
                       std::string(program.files) + "; \"" + argument + "\" is one too many");
      }
      a.files.push_back(argument);
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    const Option* option = nullptr;
    std::string shown;  // the option as written, for messages
    std::optional<std::string_view> value;
    if (argument.starts_with("--")) {
      const std::string_view body = std::string_view(argument).substr(2);
      const std::size_t equals = body.find('=');
      shown = "--" + std::string(body.substr(0, equals));
      option = find_option(program, body.substr(0, equals), '\0');
      if (equals != std::string_view::npos) value = body.substr(equals + 1);
    } else {
      shown = argument.substr(0, 2);
      option = find_option(program, {}, argument[1]);
      if (argument.size() > 2) value = std::string_view(argument).substr(2);
    }
    if (option == nullptr) return refused(UsageError::Kind::option, "unknown option " + shown);
    if (option->value.empty() && value) {
      return refused(UsageError::Kind::option, shown + " takes no value");
    }
    if (!option->value.empty() && !value) {
      if (k + 1 == arguments.size()) {
        return refused(UsageError::Kind::option,
                       shown + " needs a value, " + std::string(option->value));
      }
      value = arguments[++k];
    }
    if (option == &detail::kHelp) {
      a.action = Arguments::Action::help;
      continue;
    }
    if (option == &detail::kVersion) {
      if (a.action != Arguments::Action::help) a.action = Arguments::Action::version;
      continue;
    }
    if (!option->gives) continue;
    const std::string_view given = value.value_or(std::string_view{});
    if (const std::string why = tool::give(a.command, *option->gives, given); !why.empty()) {
      std::string error = shown;
      error += ' ';
      error += given;
      error += ": ";
      error += why;
      return refused(UsageError::Kind::option, std::move(error));
    }
  }
  if (a.action == Arguments::Action::run && a.files.size() < program.least_files) {
    return refused(UsageError::Kind::files, "no file named");
  }
  return a;
}

}  // namespace front
