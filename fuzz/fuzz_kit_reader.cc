// libFuzzer target: the reader on any bytes, any line length, any match length and
// either upper-casing setting. The first two bytes choose the settings; the rest is the
// in-memory text. Every line is cut with RDMIX until the text is exhausted; a field count
// or a cursor out of its range traps. Build from the source root:
//   clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -I. \
//     fuzz/fuzz_kit_reader.cc kit/*.cc lineio/*.cc -o fuzz_kit_reader
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kit/kit.h"
#include "lineio/lineio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static lineio::MemorySource keyboard("");
  static lineio::MemorySink screen;
  static const bool bound = [] {
    lineio::bind_console(keyboard, screen, false);
    return true;
  }();
  static_cast<void>(bound);
  if (size < 2) return 0;
  const std::int32_t nchlin = 1 + (data[0] * 8 + (data[1] >> 5)) % kit::kMaxLine;
  const std::int32_t ncmtch = 1 + (data[1] & 0x0f);
  const bool upcase = (data[1] & 0x10) != 0;

  kit::reset_reader();
  kit::load_memory_text(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));
  std::int32_t ierr = 0;
  kit::FIIOPN(nchlin, ncmtch, kit::kMemoryUnit, -1, -1, ierr);
  kit::SETPAR(upcase ? 1 : 0, 11);  // MAXEOF stays 0: an end of file fails, never stops

  static std::array<std::int32_t, 1100> itype;
  static std::array<double, 1100> value;
  static std::array<char, 1100 * 9> text_chars;
  const kit::TextArray text(text_chars, 9);
  for (int line = 0; line < 100000 && ierr == 0; ++line) {
    std::int32_t npar = 0;
    kit::RDMIX(npar, itype, value, text, 1, -1, ierr);
    if (npar < 0 || npar > (nchlin + 1) / 2) __builtin_trap();
    const kit::ReaderState& s = kit::RDSTATE;
    if (ierr == 0 && (s.ICUR < 1 || s.ICUR > s.ILAST + 1 || s.ILAST > nchlin)) __builtin_trap();
  }
  return 0;
}
