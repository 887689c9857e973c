// Names of parameterised test cases: short, readable and the same on every build. The case's
// index keeps them unique; its input text, with operators and punctuation spelt out, makes
// them readable ("7_2plus3times4" for the eighth case, "2+3*4").
#pragma once

#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

namespace testing_support {

inline std::string case_name(std::size_t index, std::string_view text) {
  constexpr std::size_t kMaxLength = 40;
  std::string name = std::to_string(index) + "_";
  for (const char c : text) {
    if (name.size() >= kMaxLength) break;
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
      name += c;
      continue;
    }
    switch (c) {
      case '+':
        name += "plus";
        break;
      case '-':
        name += "minus";
        break;
      case '*':
        name += "times";
        break;
      case '/':
        name += "over";
        break;
      case '.':
        name += "dot";
        break;
      case ',':
        name += "comma";
        break;
      case '(':
        name += "open";
        break;
      case ')':
        name += "close";
        break;
      default:
        if (name.back() != '_') name += '_';
    }
  }
  return name.substr(0, kMaxLength);
}

}  // namespace testing_support
