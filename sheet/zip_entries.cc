// Zip containers through minizip, reading the file by position through a Source. The
// directory is read once, through a window of the file read ahead, and checked: entries of
// one name, or whose data overlap, are damage (or a "zip bomb"), never read. Every entry is
// inflated in blocks and counted as it comes, to its end, and checked against its size and
// check sum: the sizes a hostile file declares are never trusted.
#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "lineio/text_encoding.h"
#include "sheet/zip.h"

namespace sheet::detail {
namespace {

constexpr std::size_t kZipBlock = std::size_t{1} << 16;
constexpr std::size_t kWindow = std::size_t{1} << 16;
constexpr std::uint64_t kRatioFloor = std::uint64_t{1} << 20;
constexpr std::uint64_t kLocalHeaderBytes = 30;  // a local header without name and extra field
constexpr std::size_t kLongestName = 65535;      // a zip entry's name field

// The position of minizip's one stream over a Source, and a window of the file read ahead:
// the directory is read in pieces of a few dozen bytes, which the window serves.
struct Stream {
  Source* source = nullptr;
  std::uint64_t position = 0;
  bool failed = false;
  std::unique_ptr<char[]> window = std::make_unique<char[]>(kWindow);
  std::uint64_t window_at = 0;
  std::size_t window_size = 0;
};

std::size_t read_source(Stream& s, std::uint64_t at, std::span<char> into) {
  std::size_t done = 0;
  while (done < into.size()) {
    const long n = s.source->read_at(static_cast<std::int64_t>(at + done), into.subspan(done));
    if (n < 0) s.failed = true;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

voidpf ZCALLBACK open_stream(voidpf opaque, const void* /*name*/, int /*mode*/) {
  return opaque;
}

uLong ZCALLBACK read_stream(voidpf /*opaque*/, voidpf stream, void* buf, uLong size) {
  auto* s = static_cast<Stream*>(stream);
  const std::span<char> out(static_cast<char*>(buf), size);
  std::size_t done = 0;
  std::uint64_t at = s->position;
  while (done < out.size()) {
    if (at >= s->window_at && at - s->window_at < s->window_size) {
      const auto offset = static_cast<std::size_t>(at - s->window_at);
      const std::size_t n = std::min(out.size() - done, s->window_size - offset);
      std::memcpy(out.data() + done, s->window.get() + offset, n);
      done += n;
      at += n;
      continue;
    }
    if (out.size() - done >= kWindow) {  // large reads (entry data) go straight through
      const std::size_t n = read_source(*s, at, out.subspan(done));
      done += n;
      at += n;
      break;
    }
    s->window_at = at;
    s->window_size = read_source(*s, at, {s->window.get(), kWindow});
    if (s->window_size == 0) break;
  }
  s->position = at;
  return static_cast<uLong>(done);
}

uLong ZCALLBACK write_stream(voidpf /*opaque*/, voidpf /*stream*/, const void* /*buf*/,
                             uLong /*size*/) {
  return 0;
}

ZPOS64_T ZCALLBACK tell_stream(voidpf /*opaque*/, voidpf stream) {
  return static_cast<Stream*>(stream)->position;
}

long ZCALLBACK seek_stream(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin) {
  auto* s = static_cast<Stream*>(stream);
  const auto size = static_cast<std::uint64_t>(s->source->size());
  std::uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = s->position;
  if (origin == ZLIB_FILEFUNC_SEEK_END) base = size;
  if (offset > size || base > size - offset) return -1;
  s->position = base + offset;
  return 0;
}

int ZCALLBACK close_stream(voidpf /*opaque*/, voidpf /*stream*/) {
  return 0;
}

int ZCALLBACK error_stream(voidpf /*opaque*/, voidpf stream) {
  return static_cast<Stream*>(stream)->failed ? 1 : 0;
}

// An entry as the directory lists it.
struct Entry {
  std::string name;
  unz64_file_pos position{};
  std::uint64_t data_start = 0;  // where its compressed data begin in the file
  std::uint64_t compressed = 0;
  std::uint64_t inflated = 0;
  unsigned long flag = 0;
  unsigned long method = 0;
};

std::string lowered_name(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return out;
}

std::string shown(std::string_view name) {
  return lineio::escape_controls(name);
}

class MinizipZip final : public Zip {
 public:
  explicit MinizipZip(Source& source) { stream_.source = &source; }
  MinizipZip(const MinizipZip&) = delete;
  MinizipZip& operator=(const MinizipZip&) = delete;
  ~MinizipZip() override {
    if (zip_ != nullptr) unzClose(zip_);
  }

  std::string open() {
    zlib_filefunc64_def io{};
    io.zopen64_file = open_stream;
    io.zread_file = read_stream;
    io.zwrite_file = write_stream;
    io.ztell64_file = tell_stream;
    io.zseek64_file = seek_stream;
    io.zclose_file = close_stream;
    io.zerror_file = error_stream;
    io.opaque = &stream_;
    zip_ = unzOpen2_64(&stream_, &io);
    if (zip_ == nullptr) {
      return "starts as a zip container but is cut short or damaged (no directory of its "
             "entries)";
    }
    return list_entries();
  }

  bool has(std::string_view name) override { return find(name) != nullptr; }

  std::string read(std::string_view name,
                   const std::function<bool(std::string_view)>& take) override {
    const Entry* e = find(name);
    if (e == nullptr) return "holds no " + shown(name);
    const std::string n = shown(e->name);
    if ((e->flag & 1U) != 0) {
      return "is encrypted (protected by a password); save it without a password";
    }
    if (e->method != 0 && e->method != Z_DEFLATED) {
      return "is compressed in a way kel2fram does not read (entry " + n + ")";
    }
    if (unzGoToFilePos64(zip_, &e->position) != UNZ_OK || unzOpenCurrentFile(zip_) != UNZ_OK) {
      return "is damaged: the entry " + n + " cannot be opened";
    }
    std::string why;
    std::uint64_t inflated = 0;
    bool taking = true;
    for (;;) {
      const int got = unzReadCurrentFile(zip_, block_.data(), static_cast<unsigned>(block_.size()));
      if (got == 0) break;
      if (got < 0) {
        why = "is damaged or cut short: the entry " + n + " ends too early";
        break;
      }
      inflated += static_cast<std::uint64_t>(got);
      total_ += static_cast<std::uint64_t>(got);
      if (inflated > kMaxEntryBytes || total_ > kMaxTotalBytes ||
          (inflated > kRatioFloor && inflated / kMaxRatio > e->compressed)) {
        why = "inflates beyond any workbook's size (entry " + n +
              "): a \"zip bomb\", not read further";
        break;
      }
      // A reader that has what it needs stops taking; the rest is still inflated, so that
      // what was taken is known to be what the entry holds.
      if (taking) taking = take({block_.data(), static_cast<std::size_t>(got)});
    }
    // minizip keeps the check sum of what it inflated and compares it with the directory's
    // when the entry was read to its declared size, which the count makes sure of.
    const int closed = unzCloseCurrentFile(zip_);
    if (why.empty() && stream_.failed) why = "cannot be read to its end";
    if (why.empty() && inflated != e->inflated) {
      why = "is damaged: the entry " + n + " holds " + std::to_string(inflated) +
            " bytes where its directory says " + std::to_string(e->inflated);
    }
    if (why.empty() && closed == UNZ_CRCERROR) {
      why = "is damaged: the entry " + n + " fails its check sum";
    }
    return why;
  }

 private:
  const Entry* find(std::string_view name) const {
    const auto it = by_name_.find(std::string(name));
    return it == by_name_.end() ? nullptr : &entries_[it->second];
  }

  // Reads the directory once: each entry's name, sizes and where its data lie.
  std::string list_entries() {
    std::string name(kLongestName + 1, '\0');
    std::unordered_set<std::string> names;
    for (int status = unzGoToFirstFile(zip_); status != UNZ_END_OF_LIST_OF_FILE;
         status = unzGoToNextFile(zip_)) {
      if (status != UNZ_OK) return "is damaged: its directory of entries cannot be read";
      if (entries_.size() >= kMaxEntries) {
        return "holds more than " + std::to_string(kMaxEntries) +
               " entries; no workbook has so many";
      }
      unz_file_info64 info{};
      if (unzGetCurrentFileInfo64(zip_, &info, name.data(), static_cast<uLong>(name.size()),
                                  nullptr, 0, nullptr, 0) != UNZ_OK) {
        return "is damaged: its directory of entries cannot be read";
      }
      Entry e;
      e.name.assign(name.data(), std::min<std::size_t>(info.size_filename, kLongestName));
      e.compressed = info.compressed_size;
      e.inflated = info.uncompressed_size;
      e.flag = info.flag;
      e.method = info.compression_method;
      if (!names.insert(lowered_name(e.name)).second) {
        return "is damaged: it holds two entries named " + shown(e.name) +
               " (another program may read the other)";
      }
      int method = 0;
      int level = 0;
      if (unzGetFilePos64(zip_, &e.position) != UNZ_OK ||
          unzOpenCurrentFile2(zip_, &method, &level, 1) != UNZ_OK) {
        return "is damaged: the entry " + shown(e.name) + " cannot be opened";
      }
      e.data_start = unzGetCurrentFileZStreamPos64(zip_);
      static_cast<void>(unzCloseCurrentFile(zip_));
      by_name_.emplace(e.name, entries_.size());
      entries_.push_back(std::move(e));
    }
    return check_overlaps();
  }

  // Each entry's data end before the next entry's local header begins, and within the file.
  std::string check_overlaps() const {
    std::vector<const Entry*> order;
    order.reserve(entries_.size());
    for (const Entry& e : entries_) order.push_back(&e);
    std::sort(order.begin(), order.end(),
              [](const Entry* a, const Entry* b) { return a->data_start < b->data_start; });
    const auto size = static_cast<std::uint64_t>(stream_.source->size());
    for (std::size_t k = 0; k < order.size(); ++k) {
      const Entry& a = *order[k];
      if (a.data_start > size || a.compressed > size - a.data_start) {
        return "is damaged or cut short: the entry " + shown(a.name) +
               " reaches beyond the end of the file";
      }
      if (k + 1 == order.size()) break;
      const Entry& b = *order[k + 1];
      const std::uint64_t header = kLocalHeaderBytes + b.name.size();
      const std::uint64_t b_header = b.data_start > header ? b.data_start - header : 0;
      if (a.data_start + a.compressed > b_header) {
        return "is damaged: the entries " + shown(a.name) + " and " + shown(b.name) +
               " overlap (as in a \"zip bomb\"); not read";
      }
    }
    return {};
  }

  Stream stream_;
  unzFile zip_ = nullptr;
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> by_name_;
  std::array<char, kZipBlock> block_{};
  std::uint64_t total_ = 0;
};

}  // namespace

std::unique_ptr<Zip> Zip::open(Source& source, std::string& why) {
  auto zip = std::make_unique<MinizipZip>(source);
  why = zip->open();
  if (!why.empty()) return nullptr;
  return zip;
}

}  // namespace sheet::detail
