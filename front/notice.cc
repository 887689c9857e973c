// The programs' notices on standard error.
#include "front/notice.h"

#include <span>
#include <string>
#include <string_view>

#include "lineio/lineio.h"
#include "os/platform.h"

namespace front {

void notice(const Program& program, std::string_view text) {
  std::string line(program.name);
  line += ": ";
  line += text;
  lineio::notice(line);
}

void notice_without_memory(const Program& program,
                           std::initializer_list<std::string_view> parts) noexcept {
  const auto write = [](std::string_view text) {
    static_cast<void>(os::write_all(os::standard_error(), std::span(text.data(), text.size())));
  };
  write(program.name);
  write(": ");
  for (const std::string_view part : parts) write(part);
  write(os::error_line_end());
}

}  // namespace front
