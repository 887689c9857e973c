// Internal to sheet/: the entries of a zip container, inflated in blocks within bounds that
// no workbook of weights comes near, so that a "zip bomb" ends the reading with a reason.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "sheet/sheet.h"

namespace sheet::detail {

inline constexpr std::uint64_t kMaxEntryBytes = std::uint64_t{1} << 30;  // one entry inflated
inline constexpr std::uint64_t kMaxTotalBytes = std::uint64_t{2} << 30;  // all entries read
inline constexpr std::uint64_t kMaxRatio = 1000;  // inflated to compressed, beyond 1 MiB
inline constexpr std::uint64_t kMaxEntries = std::uint64_t{1} << 17;  // entries listed

class Zip {
 public:
  // Opens the container and checks its directory once: no two entries of one name (letter
  // case aside), no two whose data overlap, at most kMaxEntries. nullptr with `why` when it
  // is no container, truncated, or fails these checks.
  static std::unique_ptr<Zip> open(Source& source, std::string& why);
  virtual ~Zip() = default;
  virtual bool has(std::string_view name) = 0;
  // Hands an entry's inflated bytes to `take` in blocks until it answers false or the entry
  // ends; the entry is inflated to its end either way and checked against its size and check
  // sum. Answers why the entry could not be read (missing, encrypted, damaged, too large),
  // empty when it was.
  virtual std::string read(std::string_view name,
                           const std::function<bool(std::string_view)>& take) = 0;
};

}  // namespace sheet::detail
