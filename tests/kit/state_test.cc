// Reader set-up: FIIOPN, INIFII, SETPAR and GETPAR.
#include <cstdlib>
#include <string>

#include "reader_fixture.h"
#include "support/subprocess.h"

namespace kit_test {
namespace {

TEST_F(ReaderTest, InifiiInstallsTheStandardSettings) {
  testing_support::ScratchDir dir;
  dir.write("w.txt", "1\n2\n");
  open_file(dir.file("w.txt"));
  std::int32_t ierr = 5;
  kit::INIFII(kFileUnit, kConsole, ierr);
  EXPECT_EQ(ierr, 5);
  kit::RDLINE();
  kit::RDLINE();
  kit::INIFII(kFileUnit, kConsole, ierr);  // rewinds the unit
  EXPECT_EQ(ierr, 5);
  const std::pair<std::int32_t, std::int32_t> expected[] = {
      {2, 132}, {3, 8}, {4, 1}, {5, kFileUnit}, {6, kConsole}, {7, -kConsole}, {8, 1}, {9, 0}};
  for (const auto& [code, value] : expected) EXPECT_EQ(kit::GETPAR(code), value) << code;
  EXPECT_EQ(kit::RDSTATE.CMTCHR, '\'');
  kit::RDLINE();
  EXPECT_EQ(processed(), "1S");
  EXPECT_EQ(console(), "");
}

TEST_F(ReaderTest, InifiiRefusesStandardInput) {
  std::int32_t ierr = 0;
  kit::INIFII(0, kConsole, ierr);
  EXPECT_EQ(ierr, -1);
  EXPECT_EQ(kit::GETPAR(2), 0);  // nothing installed
  EXPECT_EQ(console(), "\r\n  *** ERROR IN INIFII ***\r\n");
  kit::INIFII(-5, -kConsole, ierr);
  EXPECT_EQ(ierr, -2);
  EXPECT_EQ(console(), "\r\n  *** ERROR IN INIFII ***\r\n");
}

TEST_F(ReaderTest, InifiiEchoesOnlyWhenMessagesGoToTheConsole) {
  use_text("1\n", 0);
  EXPECT_EQ(kit::GETPAR(7), 0);
  use_text("1\n", 17);
  EXPECT_EQ(kit::GETPAR(7), -17);
}

struct FiiopnCase {
  std::int32_t nchlin, ncmtch, lunrd;
  bool ok;
  std::int32_t kept_nchlin, kept_ncmtch;  // settings in force afterwards
};

class FiiopnTest : public ReaderTest, public ::testing::WithParamInterface<FiiopnCase> {};

TEST_P(FiiopnTest, ValidatesInOrder) {
  const FiiopnCase& c = GetParam();
  std::int32_t ierr = 7;
  kit::FIIOPN(c.nchlin, c.ncmtch, c.lunrd, -1, -1, ierr);
  EXPECT_EQ(ierr, c.ok ? 0 : -1);
  EXPECT_EQ(kit::GETPAR(2), c.kept_nchlin);
  EXPECT_EQ(kit::GETPAR(3), c.kept_ncmtch);
  EXPECT_EQ(kit::GETPAR(6), c.ok ? -1 : 0);  // units are installed only on success
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FiiopnTest,
    ::testing::Values(FiiopnCase{132, 8, 88, true, 132, 8}, FiiopnCase{1, 1, 0, true, 1, 1},
                      FiiopnCase{2048, 3, kit::kMemoryUnit, true, 2048, 3},
                      FiiopnCase{2049, 8, 88, false, 0, 0}, FiiopnCase{0, 8, 88, false, 0, 0},
                      FiiopnCase{80, 0, 88, false, 80, 0}, FiiopnCase{80, 4, -1, false, 80, 4}),
    [](const auto& info) {
      const FiiopnCase& c = info.param;
      return "nchlin" + std::to_string(c.nchlin) + "_ncmtch" + std::to_string(c.ncmtch) + "_lunrd" +
             (c.lunrd < 0 ? "minus" : "") + std::to_string(std::abs(c.lunrd));
    });

TEST_F(ReaderTest, FiiopnReportsOnTheFormerMessageUnit) {
  const std::string report =
      "\r\n\r\n\r\n"
      " *** ERROR RETURN FROM  K I T  LIBRARY ROUTINE FIIOPN\r\n"
      "     ILLEGAL PARAMETER(S) :  NCHLIN = 2049\r\n"
      "                             NCMTCH =    0\r\n"
      "                             LUNRD  =   -7\r\n";
  std::int32_t ierr = 0;
  kit::FIIOPN(2049, 0, -7, -1, -1, ierr);
  EXPECT_EQ(console(), report);
  kit::FIIOPN(132, 8, 88, -1, -1, ierr);
  kit::FIIOPN(132, 8, -1, 0, 0, ierr);
  EXPECT_EQ(ierr, -1);
  EXPECT_EQ(console(), report);  // messages were off when the second failure came
}

TEST_F(ReaderTest, FiiopnResetsCountersButKeepsTheLine) {
  use_text("abc\n");
  kit::SETCMT("#");
  kit::RDLINE();
  std::int32_t ierr = 0;
  kit::FIIOPN(100, 2, kit::kMemoryUnit, -1, -1, ierr);
  const auto& s = kit::RDSTATE;
  EXPECT_EQ(s.NLINE, 0);
  EXPECT_EQ(s.MAXEOF, 0);
  EXPECT_EQ(s.CMTCHR, '*');
  EXPECT_EQ(s.NAMLEN, 0);
  EXPECT_EQ(processed(), "ABCS");
  EXPECT_EQ(s.ICUR, 1);
}

TEST_F(ReaderTest, SetparClampsAndGetparAnswersZeroForUnknownCodes) {
  use_text("");
  const struct {
    std::int32_t value, code, get_code, expected;
  } cases[] = {{5000, 21, 2, 2048}, {0, 21, 2, 1},   {-9, 21, 2, 1}, {0, 22, 3, 1},
               {9, 22, 3, 9},       {-3, 12, 8, -3}, {0, 11, 4, 0},  {77, 1, 5, 77},
               {9, 2, 6, 9},        {8, 3, 7, 8},    {99, 99, 0, 0}, {99, 0, 11, 0}};
  for (const auto& c : cases) {
    kit::SETPAR(c.value, c.code);
    EXPECT_EQ(kit::GETPAR(c.get_code), c.expected) << c.value << " code " << c.code;
  }
  kit::SETPAR(3, 13);
  EXPECT_EQ(kit::RDSTATE.NEOF, 3);
}

}  // namespace
}  // namespace kit_test
