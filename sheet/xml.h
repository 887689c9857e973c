// Internal to sheet/: an entry of a zip container read as a stream of XML events through
// expat. A document type declaration (and with it every entity definition) is refused, so no
// entity is ever expanded; a tag longer than kMaxPendingBytes ends the reading.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sheet/zip.h"

namespace sheet::detail {

inline constexpr std::uint64_t kMaxPendingBytes = std::uint64_t{64} << 20;

// Element and attribute names reach the handler without their namespace prefix ("row" for
// "x:row", "table-row" for "table:table-row").
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // attributes: name, value, name, value, ..., nullptr (expat's own list).
  virtual void start(std::string_view name, const char** attributes) = 0;
  virtual void end(std::string_view name) = 0;
  virtual void text(std::string_view text) = 0;
  // Set by the handler to end the reading (found what it needs, or a reason in failure()).
  bool stop = false;
  std::string failure;
};

// The value of an attribute by its name without prefix; empty when absent.
std::string_view attribute(const char** attributes, std::string_view name);
// The name without its namespace prefix.
std::string_view local_name(std::string_view name);

// Reads entry `name` of the container into handler; answers why it could not be read (the
// container's reason, malformed XML with its line, a refused declaration, the handler's
// failure), empty when it was read or the handler stopped it.
std::string parse_entry(Zip& zip, std::string_view name, XmlHandler& handler);

}  // namespace sheet::detail
