// The bytes of a file on Windows: a UTF-8 name opened through the wide API, shared with other
// programs (a workbook open in a spreadsheet program can still be read), read by position.
#include <windows.h>

#include <cerrno>
#include <string>

#include "os/platform.h"
#include "os/win32.h"
#include "sheet/sheet.h"

namespace sheet {
namespace {

class FileSource final : public Source {
 public:
  FileSource(HANDLE handle, std::int64_t size) : handle_(handle), size_(size) {
    static_cast<void>(os::file_stamp(os::win32::as_value(handle_), stamp_));
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  ~FileSource() override { CloseHandle(handle_); }
  std::int64_t size() const override { return size_; }
  long read_at(std::int64_t offset, std::span<char> into) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    const DWORD wanted = into.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(into.size());
    DWORD got = 0;
    if (ReadFile(handle_, into.data(), wanted, &got, &at) == 0) {
      if (GetLastError() != ERROR_HANDLE_EOF) return -EIO;
      got = 0;
    }
    return changed(offset, got) ? -os::kChangedWhileRead : static_cast<long>(got);
  }

 private:
  // Whether the file is no longer what it was when opened (grown, truncated or rewritten by
  // another program): bytes beyond its size, or at its end a size or time that differs.
  bool changed(std::int64_t offset, DWORD got) const {
    if (offset + static_cast<std::int64_t>(got) > size_) return true;
    if (got > 0) return false;
    os::FileStamp now;
    return offset < size_ || os::file_stamp(os::win32::as_value(handle_), now) != 0 ||
           now != stamp_;
  }

  HANDLE handle_;
  std::int64_t size_;
  os::FileStamp stamp_;
};

}  // namespace

std::unique_ptr<Source> open_file(std::string_view name, int& error) {
  error = 0;
  const int wide_length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                                              static_cast<int>(name.size()), nullptr, 0);
  if (name.empty() || wide_length <= 0) {
    error = ENOENT;
    return nullptr;
  }
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()),
                      wide.data(), wide_length);
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
    return nullptr;
  }
  LARGE_INTEGER size{};
  if (GetFileType(handle) != FILE_TYPE_DISK || GetFileSizeEx(handle, &size) == 0) {
    CloseHandle(handle);
    return nullptr;
  }
  return std::make_unique<FileSource>(handle, static_cast<std::int64_t>(size.QuadPart));
}

}  // namespace sheet
