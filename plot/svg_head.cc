// Whether a text is the start of an SVG picture, by its root element.
#include <algorithm>
#include <string_view>

#include "plot/picture.h"

namespace plot {

bool starts_as_svg(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  for (;;) {
    text.remove_prefix(std::min(text.find_first_not_of(" \t\r\n"), text.size()));
    std::string_view end;
    if (text.starts_with("<?")) {
      end = "?>";
    } else if (text.starts_with("<!--")) {
      end = "-->";
    } else if (text.starts_with("<!")) {
      end = ">";
    } else {
      break;
    }
    const std::size_t at = text.find(end, 2);
    if (at == std::string_view::npos) return false;
    text.remove_prefix(at + end.size());
  }
  if (!text.starts_with("<svg") || text.size() < 5) return false;
  const char after = text[4];
  return after == ' ' || after == '\t' || after == '\r' || after == '\n' || after == '>' ||
         after == '/';
}

}  // namespace plot
