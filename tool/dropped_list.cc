// A weight list dropped on the program (or named when the desktop starts it, in a console
// window of its own): the system starts the program in a folder of its own choosing
// (C:\Windows\System32 for a dropped file), where an output name typed in the dialogue has no
// business. Such a run works in the list's folder instead, and its last line names the
// output by its full path, so that the file is found.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "lineio/lineio.h"
#include "tool/command_line.h"
#include "tool/report.h"

namespace tool {
namespace {

std::filesystem::path utf8_path(std::string_view name) {
  return {std::u8string(name.begin(), name.end())};
}

std::string utf8_text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

}  // namespace

std::string full_path(std::string_view name) {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::absolute(utf8_path(name), error);
  return error ? std::string(name) : utf8_text(path);
}

void work_beside_named_list(CommandLine& command) {
  std::optional<std::string>& list = command.answers[Question::input];
  if (!list || list->empty()) return;
  command.settings.output_in_full = true;
  // Names given with the list keep the meaning they had where the program started (a
  // dropped file's name is full already; absolute() keeps a device name a device).
  std::error_code error;
  const std::filesystem::path started_in = std::filesystem::current_path(error);
  std::optional<std::string>& output = command.answers[Question::output];
  const std::string list_name = full_path(*list);
  const std::optional<std::string> output_name =
      output && !output->empty() ? std::optional(full_path(*output)) : output;
  const std::filesystem::path folder = utf8_path(list_name).parent_path();
  if (!error) std::filesystem::current_path(folder, error);
  if (error) {
    lineio::notice(std::string(kNoticePrefix) + utf8_text(folder) + ": " + error.message() +
                   "; the names typed are taken in " + utf8_text(started_in));
    return;
  }
  if (utf8_path(*list).is_relative()) list = list_name;
  if (output && utf8_path(*output).is_relative()) output = output_name;
}

}  // namespace tool
