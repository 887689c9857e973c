// Zip containers through minizip, reading the file by position through a Source. Every
// entry is inflated in blocks and counted as it comes: the sizes a hostile file declares are
// never trusted.
#include <minizip/unzip.h>

#include <array>
#include <cstring>
#include <string>

#include "sheet/zip.h"

namespace sheet::detail {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 16;
constexpr std::uint64_t kRatioFloor = std::uint64_t{1} << 20;

// The position of minizip's one stream over a Source.
struct Stream {
  Source* source = nullptr;
  std::uint64_t position = 0;
  bool failed = false;
};

voidpf ZCALLBACK open_stream(voidpf opaque, const void* /*name*/, int /*mode*/) {
  return opaque;
}

uLong ZCALLBACK read_stream(voidpf /*opaque*/, voidpf stream, void* buf, uLong size) {
  auto* s = static_cast<Stream*>(stream);
  uLong done = 0;
  while (done < size) {
    const long n = s->source->read_at(static_cast<std::int64_t>(s->position + done),
                                      {static_cast<char*>(buf) + done, size - done});
    if (n < 0) s->failed = true;
    if (n <= 0) break;
    done += static_cast<uLong>(n);
  }
  s->position += done;
  return done;
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

class MinizipZip final : public Zip {
 public:
  explicit MinizipZip(Source& source) { stream_.source = &source; }
  MinizipZip(const MinizipZip&) = delete;
  MinizipZip& operator=(const MinizipZip&) = delete;
  ~MinizipZip() override {
    if (zip_ != nullptr) unzClose(zip_);
  }

  bool open() {
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
    return zip_ != nullptr;
  }

  bool has(std::string_view name) override {
    const std::string n(name);
    return unzLocateFile(zip_, n.c_str(), 1) == UNZ_OK;
  }

  std::string read(std::string_view name,
                   const std::function<bool(std::string_view)>& take) override {
    const std::string n(name);
    if (unzLocateFile(zip_, n.c_str(), 1) != UNZ_OK) return "holds no " + n;
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
      return "is damaged: the entry " + n + " cannot be read";
    }
    if ((info.flag & 1U) != 0) {
      return "is encrypted (protected by a password); save it without a password";
    }
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
      return "is compressed in a way kel2fram does not read (entry " + n + ")";
    }
    if (unzOpenCurrentFile(zip_) != UNZ_OK)
      return "is damaged: the entry " + n + " cannot be opened";
    std::string why;
    std::uint64_t inflated = 0;
    for (;;) {
      const int got = unzReadCurrentFile(zip_, block_.data(), static_cast<unsigned>(block_.size()));
      if (got == 0) break;
      if (got < 0) {
        why = got == UNZ_CRCERROR ? "is damaged: the entry " + n + " fails its check sum"
                                  : "is damaged or cut short: the entry " + n + " ends too early";
        break;
      }
      inflated += static_cast<std::uint64_t>(got);
      total_ += static_cast<std::uint64_t>(got);
      if (inflated > kMaxEntryBytes || total_ > kMaxTotalBytes ||
          (inflated > kRatioFloor && inflated / kMaxRatio > info.compressed_size)) {
        why = "inflates beyond any workbook's size (entry " + n +
              "): a \"zip bomb\", not read further";
        break;
      }
      if (!take({block_.data(), static_cast<std::size_t>(got)})) break;
    }
    const int closed = unzCloseCurrentFile(zip_);
    if (why.empty() && closed == UNZ_CRCERROR && inflated == info.uncompressed_size) {
      why = "is damaged: the entry " + n + " fails its check sum";
    }
    if (why.empty() && stream_.failed) why = "cannot be read to its end";
    return why;
  }

 private:
  Stream stream_;
  unzFile zip_ = nullptr;
  std::array<char, kBlock> block_{};
  std::uint64_t total_ = 0;
};

}  // namespace

std::unique_ptr<Zip> Zip::open(Source& source, std::string& why) {
  auto zip = std::make_unique<MinizipZip>(source);
  if (!zip->open()) {
    why = "starts as a zip container but is cut short or damaged (no directory of its entries)";
    return nullptr;
  }
  return zip;
}

}  // namespace sheet::detail
