// A console window the program opened for itself stays until Enter is pressed, and the
// wait takes one line of input.
#include "terminal/console_window.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "lineio/lineio.h"

namespace {

TEST(ConsoleWindow, AConsoleWindowOfItsOwnWaitsForEnter) {
  lineio::MemorySource in("\nnot read\n");
  lineio::MemorySink out;
  lineio::bind_console(in, out, true);
  terminal::wait_before_window_closes();
  EXPECT_EQ(out.bytes(), " Press Enter to close this window.");
  std::array<char, 8> rest{};
  EXPECT_EQ(lineio::read_record(lineio::kConsoleIn, rest), 0);  // the wait took one line
  EXPECT_EQ(std::string(rest.data(), 8), "not read");
}

}  // namespace
