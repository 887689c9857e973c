// The Win32 helpers that the Windows files of this room share (declared in win32.h): error
// codes as errno values, names between UTF-8 and UTF-16 at any length, handles opened with
// the sharing every caller needs, and the system's random letters for temporary names.
#include "os/win32.h"
// After windows.h, whose declarations it uses.
#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace os {

namespace win32 {

int code_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_NETWORK_ACCESS_DENIED:
      return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_BUSY:
    case ERROR_PATH_BUSY:
      return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_READ_ONLY:
      return EROFS;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
      return ESPIPE;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_CANT_RESOLVE_FILENAME:
      return ELOOP;
    default:
      return EIO;
  }
}

int last_code() {
  return code_of(GetLastError());
}
bool convert(UINT code_page, DWORD flags, std::string_view name, std::wstring& wide) {
  if (name.empty()) {
    wide.clear();
    return true;
  }
  const int length = static_cast<int>(std::min<std::size_t>(name.size(), INT_MAX / 2));
  const int n = MultiByteToWideChar(code_page, flags, name.data(), length, nullptr, 0);
  if (n <= 0) return false;
  wide.assign(static_cast<std::size_t>(n), L'\0');
  return MultiByteToWideChar(code_page, flags, name.data(), length, wide.data(), n) == n;
}

namespace {

// The system's ANSI code page, in which its older programs and editors write names. The
// process itself runs with UTF-8 as its code page (see the manifest), so GetACP is not it.
UINT legacy_code_page() {
  static const UINT code_page = [] {
    DWORD value = 0;
    const int n = GetLocaleInfoEx(LOCALE_NAME_SYSTEM_DEFAULT,
                                  LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                                  reinterpret_cast<LPWSTR>(&value), sizeof value / sizeof(wchar_t));
    return n > 0 && value != 0 && value != CP_UTF8 ? static_cast<UINT>(value) : UINT{1252};
  }();
  return code_page;
}

}  // namespace

std::wstring widen(std::string_view name) {
  std::wstring wide;
  if (!convert(CP_UTF8, MB_ERR_INVALID_CHARS, name, wide))
    convert(legacy_code_page(), 0, name, wide);
  return wide;
}

std::string narrow(std::wstring_view wide) {
  std::string text;
  if (wide.empty()) return text;
  const int length = static_cast<int>(std::min<std::size_t>(wide.size(), INT_MAX / 4));
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return text;
  text.assign(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, text.data(), n, nullptr, nullptr);
  return text;
}

std::wstring full_path(const std::wstring& name) {
  if (name.starts_with(L"\\\\?\\")) return name;
  const DWORD need = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (need == 0) return name;
  std::wstring full(need, L'\0');
  const DWORD got = GetFullPathNameW(name.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return name;
  full.resize(got);
  return full;
}

std::wstring long_form(const std::wstring& full) {
  if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring system_name(std::string_view name) {
  std::wstring wide = widen(name);
  // Room for the longest temporary name beside the file: a dot, a program name, a dash and
  // the random letters.
  constexpr std::size_t kLongest = MAX_PATH - 1 - 40;
  if (wide.empty() || wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) return wide;
  const std::wstring full = full_path(wide);
  if (full.size() < kLongest || full.starts_with(L"\\\\.\\")) return wide;  // devices stay
  return long_form(full);
}

std::wstring final_path(HANDLE h, DWORD volume) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                              FILE_NAME_NORMALIZED | volume);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.assign(n + 1, L'\0');
  }
  return {};
}

HANDLE open_handle(const std::wstring& name, DWORD access, DWORD share, DWORD disposition,
                   DWORD flags) {
  return CreateFileW(name.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

Kind kind_of(HANDLE h) {
  switch (GetFileType(h)) {
    case FILE_TYPE_DISK: {
      BY_HANDLE_FILE_INFORMATION info{};
      if (GetFileInformationByHandle(h, &info) != 0 &&
          (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Kind::directory;
      }
      return Kind::regular;
    }
    case FILE_TYPE_CHAR:
      return Kind::device;
    case FILE_TYPE_PIPE:
      return Kind::fifo;
    default:
      return Kind::other;
  }
}

bool same_file(HANDLE a, HANDLE b) {
  if (GetFileType(a) != FILE_TYPE_DISK || GetFileType(b) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION x{};
  BY_HANDLE_FILE_INFORMATION y{};
  if (GetFileInformationByHandle(a, &x) == 0 || GetFileInformationByHandle(b, &y) == 0) {
    return false;
  }
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

std::wstring random_letters(std::size_t n) {
  constexpr std::wstring_view kLetters = L"abcdefghijklmnopqrstuvwxyz0123456789";
  std::array<unsigned char, 64> bytes{};
  n = std::min(n, bytes.size());
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(n),
                                      BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    return {};
  }
  std::array<wchar_t, bytes.size()> letters{};
  for (std::size_t k = 0; k < n; ++k) letters[k] = kLetters[bytes[k] % kLetters.size()];
  return {letters.data(), n};
}

}  // namespace win32

}  // namespace os
