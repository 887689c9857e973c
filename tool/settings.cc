// The run settings: the mass-unit rule of the answers, names held as the dialogue holds them,
// and the settings that answers given beforehand make without a dialogue.
#include "tool/settings.h"

#include <algorithm>
#include <array>

#include "tool/report.h"

namespace tool {

MassUnit unit_of_answer(std::string_view answer) {
  return !answer.empty() && (answer.front() == 'K' || answer.front() == 'k') ? MassUnit::kg
                                                                             : MassUnit::tonnes;
}

std::string_view unit_word(MassUnit unit) {
  return unit == MassUnit::kg ? "kg" : "tonnes";
}

std::string_view input_name_of(const RunSettings& s) {
  return trimmed({s.input_name.data(), s.input_name.size()});
}

bool set_name(NameText& text, std::string_view name) {
  if (name.size() > text.size()) return false;
  text.fill(' ');
  std::copy(name.begin(), name.end(), text.begin());
  return true;
}

RunSettings settings_of_answers(const Answers& answers) {
  RunSettings s;
  if (answers.has(Question::unit)) {
    s.unit_answered = true;
    s.unit = unit_of_answer(*answers[Question::unit]);
  }
  s.unit_factor = unit_factor_of(s.unit);
  if (answers.has(Question::spread)) {
    s.spread = lineio::read_integer(*answers[Question::spread], s.spread, kConsoleIn);
  }
  constexpr std::array<Question, 3> kRanges{Question::range_x, Question::range_y,
                                            Question::range_z};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    if (!answers.has(kRanges[axis])) continue;
    std::array<double, 2> bounds{s.min[axis], s.max[axis]};
    lineio::read_reals_in(*answers[kRanges[axis]], bounds, kConsoleIn);
    s.min[axis] = bounds[0];
    s.max[axis] = bounds[1];
  }
  return s;
}

}  // namespace tool
