// Fuzz target: a whole conversion run in-process, console and files included.
//
//   byte 0     bit 0: the dialogue starts with the names of the two files (otherwise the
//              answers come from the input alone); bit 1: the output file exists beforehand
//              with former contents; bit 2: the output file is the weight file itself
//   byte 1-2   how many of the following bytes are dialogue answers
//   the rest   the weight file
//
// The run must end with status 0 (written), 1 (an early end that wrote nothing) or 2 (a
// failed transfer). Afterwards the output file holds either its former contents (or is still
// absent) or, after status 0 only, a complete result: the report block that the console shows
// too, one Map_Mass record per kept mass, "#" and the end marker. No temporary file is left
// behind.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "lineio/lineio.h"
#include "tool/run.h"

namespace {

constexpr std::string_view kFormer = "former contents\n";
constexpr std::string_view kEnd = "#\r\n'  --------------- E O F ----------------\r\n";
constexpr std::string_view kHeader =
    "'          nSpread     X           Y           Z       Mass [kg]\r\n";

void check(bool ok, const char* what, std::string_view detail = {}) {
  if (!ok) {
    std::fprintf(stderr, "run check failed: %s\n%s\n", what, std::string(detail).c_str());
    std::abort();
  }
}

// The scratch folder of this process, removed with its files when the process ends.
const std::string& folder() {
  static const std::string dir = [] {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
      const fs::path d = base / ("kel2fram-fuzz-run-" + std::to_string(std::rand()));
      if (fs::create_directory(d, ec)) return d.string();
    }
    std::abort();
  }();
  static const bool cleanup = std::atexit([] {
                                std::error_code ec;
                                std::filesystem::remove_all(folder(), ec);
                              }) == 0;
  static_cast<void>(cleanup);
  return dir;
}

void write_file(const std::string& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  check(f.good(), "writing a test file");
}

bool read_file(const std::string& path, std::string& bytes) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  bytes = s.str();
  return true;
}

std::vector<std::string> folder_entries() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder(), ec)) {
    names.push_back(e.path().filename().string());
  }
  return names;
}

// A complete output file: its report block is the one on the console, then the column header,
// the records and the closing lines.
void check_complete(const std::string& out, const std::string& console) {
  check(out.starts_with("\r\n# ======================================================="
                        "\r\n#"),
        "output begins with the report block", out.substr(0, 200));
  check(out.ends_with(kEnd), "output ends with the end marker",
        out.substr(out.size() - std::min<std::size_t>(out.size(), 200)));
  const std::size_t header = out.find(kHeader);
  check(header != std::string::npos, "column header present");
  const std::string block = out.substr(0, header + kHeader.size());
  check(console.ends_with(block), "the console ends with the same report block");

  // "#" then the kept count in 6 columns.
  const long kept = std::strtol(out.substr(2 + 57 + 2 + 1, 6).c_str(), nullptr, 10);
  std::size_t records = 0;
  std::size_t at = header + kHeader.size();
  const std::size_t end = out.size() - kEnd.size();
  while (at < end) {
    const std::size_t eol = out.find("\r\n", at);
    check(eol != std::string::npos && eol < end + 1, "records are CR LF lines");
    const std::string_view record(out.data() + at, eol - at);
    check(record.size() == 64 && record.starts_with(" Map_Mass  "), "record layout", record);
    ++records;
    at = eol + 2;
  }
  check(at == end, "records end where the closing lines begin");
  check(static_cast<long>(records) == kept, "one record per kept mass", out.substr(0, 120));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const bool name_files = (data[0] & 1) != 0;
  const bool existing_output = (data[0] & 2) != 0;
  const bool same_file = (data[0] & 4) != 0;
  const std::size_t answer_bytes = std::min<std::size_t>(data[1] << 8 | data[2], size - 3);
  const std::string_view answers(reinterpret_cast<const char*>(data) + 3, answer_bytes);
  const std::string_view weights(reinterpret_cast<const char*>(data) + 3 + answer_bytes,
                                 size - 3 - answer_bytes);

  // Names typed in the answers are relative to the scratch folder; the folder starts each
  // run holding the weight file only.
  static const bool moved = [] {
    std::error_code ec;
    std::filesystem::current_path(folder(), ec);
    return !ec;
  }();
  check(moved, "entering the scratch folder");
  for (const std::string& name : folder_entries()) {
    std::error_code ec;
    std::filesystem::remove(folder() + "/" + name, ec);
  }
  const std::string input = folder() + "/w.txt";
  const std::string output = same_file ? input : folder() + "/out.txt";
  write_file(input, weights);
  if (existing_output && !same_file) write_file(output, kFormer);
  std::string former;
  const bool existed = read_file(output, former);

  std::string console_in;
  if (name_files) console_in = input + "\n" + output + "\n";
  for (char c : answers) console_in += c == '/' ? '_' : c;  // no names outside the folder
  lineio::MemorySource in(console_in);
  lineio::MemorySink out;
  const int status = tool::run(in, out, false);
  check(status == 0 || status == 1 || status == 2, "status 0, 1 or 2");
  if (status == 2) {
    // The failed-transfer line is the last thing on the console (after an open prompt), or
    // the reader's own report of a line it could not read (a weight list in UTF-16 without
    // its mark): that line and its IOSTAT line.
    const std::string& console = out.bytes();
    // The line end before the last line's own CR LF.
    const std::size_t last =
        console.size() < 3 ? std::string::npos : console.rfind("\r\n", console.size() - 3);
    const std::size_t begin = last == std::string::npos ? 0 : last + 2;
    const std::size_t error = console.rfind(" *** ERROR: ");
    const std::size_t report = console.rfind(" *** ERROR DURING READING OF LINE ");
    const bool reader_report = report != std::string::npos &&
                               console.find("\r\n", report) + 2 == begin &&
                               console.substr(begin).starts_with("     IOSTAT = ");
    // A zip container that is no readable workbook (cut short, damaged, hostile) is refused
    // after the dialogue with its reason on standard error alone: the console then ends with
    // the last question.
    const bool refused_workbook = weights.starts_with(std::string_view("PK\x03\x04", 4)) &&
                                  console.find(" *** ERROR") == std::string::npos;
    check(refused_workbook || (console.ends_with("\r\n") &&
                               ((error != std::string::npos && error >= begin) || reader_report)),
          "a failed run ends with its failure line", console.substr(begin));
  }

  // Files the answers named may be there; a temporary file of the output must not.
  std::vector<std::string> typed;
  for (std::size_t at = 0; at < console_in.size();) {
    std::size_t eol = console_in.find('\n', at);
    if (eol == std::string::npos) eol = console_in.size();
    std::string answer = console_in.substr(at, eol - at);
    if (answer.ends_with('\r')) answer.pop_back();
    answer.resize(std::min<std::size_t>(answer.size(), 256));
    answer.erase(answer.find_last_not_of(' ') + 1);
    typed.push_back(answer);
    at = eol + 1;
  }
  for (const std::string& name : folder_entries()) {
    const bool answered = std::find(typed.begin(), typed.end(), name) != typed.end();
    check(answered || name.find(".kel2fram-") == std::string::npos, "no temporary file left behind",
          name);
  }
  if (!name_files) return 0;  // the answers chose the files

  std::string after;
  const bool exists = read_file(output, after);
  if (exists && existed && after == former) {
    // untouched
  } else if (!exists && !existed) {
    check(status != 0, "a written result is there");
  } else {
    check(exists, "the output file is not removed");
    check(status == 0, "a failed run leaves the output file as it was", after.substr(0, 200));
    check_complete(after, out.bytes());
  }
  return 0;
}
