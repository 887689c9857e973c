// The help of a program, printed from its option table: every program's in one layout.
#include <algorithm>
#include <string>
#include <string_view>

#include "front/command_line.h"
#include "front/every_program.h"

namespace front {
namespace {

constexpr std::size_t kWidth = 79;
constexpr std::size_t kHelpColumn = 25;

// Words of text in lines of at most `width` characters, each after `indent` blanks but the
// first, which continues a line already `column` characters long.
std::string wrapped(std::string_view text, std::size_t column, std::size_t indent,
                    std::size_t width = kWidth) {
  std::string out;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (column > indent && column + 1 + word.size() > width) {
      out += '\n';
      out.append(indent, ' ');
      column = indent;
    } else if (column > indent) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
  }
  return out;
}

// Paragraphs, each wrapped on lines of its own; a '\n' begins the next.
std::string paragraphs(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    out += wrapped(text.substr(0, end), 0, 0) + "\n";
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return out;
}

// One option's lines: its forms, then its help from column 25 (on a line of its own when the
// forms reach it).
std::string option_lines(std::string_view forms, std::string_view help) {
  std::string head(forms);
  if (head.size() + 1 > kHelpColumn) {
    head += '\n';
    head.append(kHelpColumn, ' ');
  } else {
    head.append(kHelpColumn - head.size(), ' ');
  }
  return head + wrapped(help, kHelpColumn, kHelpColumn) + "\n";
}

std::string option_lines(const Option& o) {
  std::string forms = "  ";
  forms += o.letter != '\0' ? std::string{'-', o.letter, ','} : std::string("   ");
  forms += " --";
  forms += o.name;
  if (!o.value.empty()) forms += " " + std::string(o.value);
  return option_lines(forms, o.help);
}

}  // namespace

std::string help_text(const Program& program) {
  std::string text = "Usage: " + std::string(program.name) + " " + std::string(program.arguments) +
                     "\n" + paragraphs(program.about);
  text += "\nOptions:\n";
  for (const Option& o : program.options) text += option_lines(o);
  for (const Option* o : detail::kEveryProgram) text += option_lines(*o);
  text += option_lines("  --", detail::kEndOfOptions);
  text += "\n" + paragraphs(program.exit_status) + "\n" + paragraphs(program.read_on);
  return text;
}

}  // namespace front
