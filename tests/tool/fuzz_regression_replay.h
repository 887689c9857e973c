// Replays the inputs kept in tests/data/fuzz/<target>/ through a fuzz target's checks. Each
// file there is an input that once broke the program; the target aborts on a broken check,
// which fails the test program.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fuzz_replay {

inline std::vector<std::filesystem::path> inputs(const std::string& target) {
  std::vector<std::filesystem::path> files;
  const std::filesystem::path dir = std::filesystem::path(TEST_DATA_DIR) / "fuzz" / target;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

inline std::string bytes_of(const std::filesystem::path& file) {
  std::ifstream f(file, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

template <class Target>
void replay_all(const std::string& target, Target run_one) {
  const auto files = inputs(target);
  EXPECT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::string data = bytes_of(file);
    EXPECT_EQ(run_one(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()), 0);
  }
}

}  // namespace fuzz_replay
