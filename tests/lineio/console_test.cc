// Console traffic: CR LF line ends, open lines, reading answers, free-form numbers, and the
// failed-transfer end of a run.
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <string>
#include <vector>

#include "lineio/lineio.h"

namespace {

using lineio::Line;

// Binds the console to memory for one test.
struct MemoryConsole {
  explicit MemoryConsole(std::string input) : text(std::move(input)), in(text) {
    lineio::bind_console(in, out, false);
  }
  std::string written() {
    lineio::flush_console();
    return out.bytes();
  }
  std::string text;
  lineio::MemorySource in;
  lineio::MemorySink out;
};

std::string failure_of(void (*body)()) {
  try {
    body();
  } catch (const lineio::TransferFailure& f) {
    return f.what();
  }
  return "no failure";
}

TEST(ConsoleOutput, LinesEndWithCrLfAndPromptsStayOpen) {
  MemoryConsole console("");
  lineio::put_empty(6, 2);
  lineio::put_line(6, " line");
  lineio::put_open(6, Line().lit(" prompt : "));
  lineio::put(6, Line().lit("next"));
  EXPECT_EQ(console.written(), "\r\n\r\n line\r\n prompt : next\r\n");
}

TEST(ConsoleOutput, PromptIsFlushedBeforeTheConsoleIsRead) {
  MemoryConsole console("answer\n");
  lineio::put_open(6, Line().lit(" Q? "));
  EXPECT_EQ(console.out.bytes(), "");  // still buffered
  std::array<char, 8> text;
  lineio::read_text(5, text);
  EXPECT_EQ(console.out.bytes(), " Q? ");
  EXPECT_EQ(std::string(text.data(), text.size()), "answer  ");
}

TEST(ConsoleInput, LinesAreCutPaddedAndStrippedOfOneCr) {
  MemoryConsole console("ab\r\nlonger than eight\n\r\r\n  lead\nlast\r");
  std::array<char, 8> text;
  const std::vector<std::string> expected = {"ab      ", "longer t", "\r       ", "  lead  ",
                                             "last    "};
  for (const auto& e : expected) {
    lineio::read_text(5, text);
    EXPECT_EQ(std::string(text.data(), text.size()), e);
  }
  EXPECT_EQ(lineio::read_record(5, text), lineio::kEndOfFile);
}

TEST(ConsoleInput, EndOfInputEndsTheRunNamingUnitAndFile) {
  MemoryConsole console("");
  EXPECT_EQ(failure_of([] {
              std::array<char, 4> text;
              lineio::read_text(5, text);
            }),
            " *** ERROR: END OF INPUT ON UNIT 5 (standard input)");
}

TEST(FreeForm, IntegerIsTheFirstItem) {
  MemoryConsole console("");
  struct Case {
    std::string text;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"3 nodes", 3},
      {"3,4", 3},
      {"-2", -2},
      {"+7", 7},
      {"  12  ", 12},
      {"007", 7},
      {",5", 1},
      {"   ", 1},
      {"3 , x", 3},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483648},
      {"\t9", 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(lineio::read_integer(c.text, 1, 5), c.expected);
  }
}

TEST(FreeForm, MalformedIntegersEndTheRun) {
  MemoryConsole console("");
  for (std::string text : {"two", "3x", "2147483648", "-", "+", "+-5", "1.5", "5-", "1e3"}) {
    SCOPED_TRACE(text);
    try {
      lineio::read_integer(text, 1, 5);
      ADD_FAILURE() << "accepted";
    } catch (const lineio::TransferFailure& f) {
      EXPECT_NE(std::string(f.what()).find("BAD INTEGER"), std::string::npos);
      EXPECT_NE(std::string(f.what()).find("ON UNIT 5 (standard input)"), std::string::npos);
    }
  }
}

TEST(FreeForm, TwoRealsFromOneOrMoreLines) {
  struct Case {
    std::string input;
    double first;
    double second;
  };
  const Case cases[] = {
      {"-100 100\n", -100.0, 100.0},
      {"-100,100\n", -100.0, 100.0},
      {"-100 , 100 ignored\n", -100.0, 100.0},
      {"\n-1.5\n\n2.5E1\n", -1.5, 25.0},
      {"1D3 .5\n", 1000.0, 0.5},
      {"5. -2e-1\n", 5.0, -0.2},
      {"+1.25d+2,3\n", 125.0, 3.0},
      {",7\n", -9.0, 7.0},      // empty first item: the minimum stays
      {"1,,\n", 1.0, 9.0},      // empty second item
      {"1,\n2\n", 1.0, 2.0},    // a comma at the line end is the separator
      {"0.1 0.3\n", 0.1, 0.3},  // correctly rounded here
      // An answer is read whole, whatever its length; a long number is still a number.
      {"-100" + std::string(8185, ' ') + "12345\n", -100.0, 12345.0},
      {"0.5" + std::string(600, '0') + " 7\n", 0.5, 7.0},
      // Below the smallest double: the correctly rounded value, not a bad number.
      {"-1e-400 5\n", -0.0, 5.0},
      {"4e-320 1\n", 4e-320, 1.0},
      {"-5 5\r", -5.0, 5.0},  // a CR ending the input is a line end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    MemoryConsole console(c.input);
    std::array<double, 2> values{-9.0, 9.0};
    lineio::read_reals(5, values);
    EXPECT_EQ(values[0], c.first);
    EXPECT_EQ(values[1], c.second);
  }
}

TEST(FreeForm, MalformedRealsAndMissingValuesEndTheRun) {
  for (std::string input : {"abc 1\n", "1e 2\n", "1.2.3 4\n", "--1 2\n", "1 2x\n", ". 1\n",
                            "1 PI\n", "1 1e999\n", "5\n"}) {
    SCOPED_TRACE(input);
    MemoryConsole console(input);
    std::array<double, 2> values{};
    try {
      lineio::read_reals(5, values);
      ADD_FAILURE() << "accepted";
    } catch (const lineio::TransferFailure& f) {
      EXPECT_NE(std::string(f.what()).find("ON UNIT 5 (standard input)"), std::string::npos);
    }
  }
}

TEST(FailedTransfer, WriteFailureIsReportedAndExitsWithStatusTwo) {
  std::string no_input;
  lineio::MemorySource in(no_input);
  lineio::MemorySink out;
  lineio::bind_console(in, out, false);
  out.fail_after(3, ENOSPC);
  const int status = lineio::guarded_run([] { lineio::put_line(6, "too long for the sink"); });
  EXPECT_EQ(status, lineio::kFailedTransferStatus);
  EXPECT_EQ(out.bytes(), "too");
}

TEST(FailedTransfer, ReadFailureMessageGoesToTheConsole) {
  MemoryConsole console("");
  const int status = lineio::guarded_run([] {
    lineio::put_open(6, Line().lit(" Q? "));
    std::array<char, 4> text;
    lineio::read_text(5, text);
  });
  EXPECT_EQ(status, 2);
  EXPECT_EQ(console.out.bytes(), " Q?  *** ERROR: END OF INPUT ON UNIT 5 (standard input)\r\n");
}

TEST(FailedTransfer, WritingAnUnconnectedUnitFails) {
  MemoryConsole console("");
  EXPECT_EQ(failure_of([] { lineio::put_line(42, "x"); }),
            " *** ERROR: WRITE TO A UNIT NOT CONNECTED ON UNIT 42 (no file)");
}

}  // namespace
