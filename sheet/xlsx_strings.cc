// The shared strings of an Office Open XML workbook: each <si> is one string, the text of its
// <t> elements (several in a string of formatted runs); phonetic readings (<rPh>) are not
// part of it.
#include <string>

#include "sheet/workbook_parts.h"
#include "sheet/xml.h"

namespace sheet::detail {
namespace {

class StringsHandler final : public XmlHandler {
 public:
  explicit StringsHandler(SharedStrings& strings) : strings_(strings) {}
  void start(std::string_view name, const char** /*attributes*/) override {
    if (name == "si") {
      in_string_ = true;
      length_ = 0;
      cut_ = false;
      count(SharedStrings::kIndexBytes);
      if (strings_.size() >= kMaxSharedStrings && !stop) {
        failure = "holds more than " + std::to_string(kMaxSharedStrings) +
                  " shared strings; no weight list has so many texts";
        stop = true;
      }
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (name == "t" && in_string_ && phonetic_ == 0) {
      in_text_ = true;
    }
  }
  void end(std::string_view name) override {
    if (name == "si") {
      strings_.finish_string(cut_);
      in_string_ = false;
    } else if (name == "rPh") {
      --phonetic_;
    } else if (name == "t") {
      in_text_ = false;
    }
  }
  void text(std::string_view text) override {
    if (!in_text_) return;
    const std::size_t room = kMaxCellBytes - length_;
    if (text.size() > room) {
      cut_ = true;
      text = text.substr(0, room);
    }
    length_ += text.size();
    if (count(text.size())) strings_.add(text);
  }

 private:
  // Counts bytes kept against the bound; answers false once it is passed.
  bool count(std::uint64_t bytes) {
    total_ += bytes;
    if (total_ <= kMaxStringBytes) return true;
    if (!stop) {
      failure = "holds more than " + std::to_string(kMaxStringBytes >> 20) +
                " MiB of shared strings; not read";
      stop = true;
    }
    return false;
  }

  SharedStrings& strings_;
  bool in_string_ = false;
  bool in_text_ = false;
  int phonetic_ = 0;
  std::size_t length_ = 0;
  std::uint64_t total_ = 0;
  bool cut_ = false;
};

}  // namespace

std::string SharedStrings::load(Zip& zip, std::string_view entry) {
  if (!zip.has(entry)) return {};
  StringsHandler handler(*this);
  return parse_entry(zip, entry, handler);
}

std::string_view SharedStrings::at(std::size_t n) const {
  const std::size_t begin = n == 0 ? 0 : (ends_[n - 1] & ~kCut);
  return std::string_view(bytes_).substr(begin, (ends_[n] & ~kCut) - begin);
}

void SharedStrings::add(std::string_view text) {
  bytes_ += text;
}

void SharedStrings::finish_string(bool cut) {
  ends_.push_back(static_cast<std::uint32_t>(bytes_.size()) | (cut ? kCut : 0));
}

}  // namespace sheet::detail
