// The replacement of an output file on Windows, in the test's own process: the temporary
// file and the folder held for it, the names the system takes, and what is refused.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, whose declarations they use.
#include <aclapi.h>
#include <sddl.h>

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "os/arguments.h"
#include "os/platform.h"
#include "support/subprocess.h"

namespace {

using testing_support::ScratchDir;

std::filesystem::path path_of(const std::string& utf8) {
  return {std::u8string(utf8.begin(), utf8.end())};
}

// The names in a folder that begin with `prefix`.
std::vector<std::wstring> entries(const std::string& folder, const std::wstring& prefix) {
  std::vector<std::wstring> names;
  for (const auto& e : std::filesystem::directory_iterator(path_of(folder))) {
    const std::wstring name = e.path().filename().wstring();
    if (name.starts_with(prefix)) names.push_back(name);
  }
  return names;
}

DWORD attributes(const std::string& folder, const std::wstring& name) {
  return GetFileAttributesW((path_of(folder) / name).wstring().c_str());
}

// Writes `text` through an output opened on `name` and commits it; answers the commit's code.
int replace(const std::string& name, const std::string& text) {
  os::Output out;
  const int code = os::open_output(name, false, out);
  if (code != 0) return code;
  if (os::write_all(out.handle, {text.data(), text.size()}) != 0) return EIO;
  return os::commit(out);
}

// A file's contents, read by its full name in the \\?\ form (any length).
std::string contents(const std::filesystem::path& file) {
  const std::wstring name = L"\\\\?\\" + std::filesystem::absolute(file).make_preferred().wstring();
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "(cannot be opened)";
  std::string text(65536, '\0');
  DWORD got = 0;
  ReadFile(h, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
  CloseHandle(h);
  text.resize(got);
  return text;
}

TEST(WindowsCommit, TheTemporaryFileIsHiddenHoldsItsFolderAndGoesWithItsHandle) {
  ScratchDir dir;
  const std::string folder = dir.file("sub");
  std::filesystem::create_directory(path_of(folder));
  const std::string target = folder + "/out.txt";
  dir.write("sub/out.txt", "former\r\n");
  // Named after the running program (this test's), so that massplot's files are massplot's.
  EXPECT_EQ(os::program_name(), "test_os");
  const std::wstring stem = L".out.txt.test_os";
  os::Output a;
  os::Output b;
  ASSERT_EQ(os::open_output(target, false, a), 0);
  ASSERT_EQ(os::open_output(target, false, b), 0);
  const std::vector<std::wstring> made = entries(folder, L".out.txt.");
  ASSERT_EQ(made.size(), 2u);
  EXPECT_NE(made[0], made[1]);  // random names, not a counter
  for (const std::wstring& name : made) {
    EXPECT_TRUE(name.starts_with(stem + L"-"));
    EXPECT_EQ(name.size(), stem.size() + 1 + 10);
    // (Wine keeps the hidden attribute but not the temporary one.)
    EXPECT_NE(attributes(folder, name) & FILE_ATTRIBUTE_HIDDEN, DWORD{0});
  }
  // Held: the folder cannot be moved away while the output is pending.
  const std::wstring moved = path_of(dir.file("moved")).wstring();
  EXPECT_EQ(MoveFileW(path_of(folder).wstring().c_str(), moved.c_str()), FALSE);
  os::discard(b);
  EXPECT_EQ(entries(folder, L".out.txt.").size(), 1u);
  const std::string text = "new\r\n";
  ASSERT_EQ(os::write_all(a.handle, {text.data(), text.size()}), 0);
  ASSERT_EQ(os::commit(a), 0);
  EXPECT_EQ(dir.read("sub/out.txt"), text);
  EXPECT_EQ(attributes(folder, L"out.txt") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY),
            DWORD{0});
  EXPECT_TRUE(entries(folder, L".out.txt.").empty());
  EXPECT_NE(MoveFileW(path_of(folder).wstring().c_str(), moved.c_str()), FALSE);
}

TEST(WindowsCommit, NamesPastTheClassicLimitAreReplacedLikeShortOnes) {
  // A new name whose temporary name passes 260 characters, and a relative name whose full
  // path does.
  ScratchDir dir;
  const std::size_t room = dir.path().size() + 1;
  std::filesystem::create_directory(path_of(dir.file(std::string(150, 'f'))));
  const std::string names[] = {
      std::string(245 - room, 'n'),
      std::string(150, 'f') + "/" + std::string(300 - room - 151, 'n'),
  };
  wchar_t saved[MAX_PATH * 4] = {};
  GetCurrentDirectoryW(MAX_PATH * 4, saved);
  SetCurrentDirectoryW(path_of(dir.path()).wstring().c_str());
  for (const std::string& name : names) {
    SCOPED_TRACE(name.size() + room);
    EXPECT_EQ(replace(name, "long\r\n"), 0);
    EXPECT_EQ(contents(path_of(dir.file(name))), "long\r\n");
    EXPECT_EQ(replace(name, "again\r\n"), 0);  // now over an existing file
    EXPECT_EQ(contents(path_of(dir.file(name))), "again\r\n");
  }
  SetCurrentDirectoryW(saved);
}

// A file's owner and DACL in the system's text form ("" when they cannot be read).
std::wstring security_of(const std::string& file) {
  constexpr SECURITY_INFORMATION kWhat = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::wstring name = path_of(file).wstring();
  if (GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, kWhat, nullptr, nullptr, nullptr, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  LPWSTR text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, kWhat, &text,
                                                       nullptr);
  std::wstring shown = text != nullptr ? text : L"";
  LocalFree(text);
  LocalFree(descriptor);
  return shown;
}

TEST(WindowsCommit, AReplacedFileKeepsItsOwnerAndDacl) {
  // Permissions set on the file alone, in the system's text form; "{me}" is this user. Wine
  // keeps a DACL as the Unix mode it maps to, and every file there is the user's own: what it
  // shows is whether others gain or lose access, not every entry nor the owner.
  HANDLE token = nullptr;
  ASSERT_NE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token), FALSE);
  std::vector<std::byte> user(256);
  DWORD size = 0;
  ASSERT_NE(GetTokenInformation(token, TokenUser, user.data(), 256, &size), FALSE);
  CloseHandle(token);
  LPWSTR me = nullptr;
  ASSERT_NE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &me),
            FALSE);
  const std::wstring mine = me;
  LocalFree(me);
  struct Case {
    std::wstring dacl;
    bool replaced;
  };
  const Case cases[] = {
      {L"D:P(A;;FA;;;{me})", true},                          // the user's alone
      {L"D:P(A;;FA;;;{me})(A;;FA;;;WD)", true},              // everyone's
      {L"D:P(A;;FA;;;{me})(A;;FR;;;BU)(A;;FA;;;SY)", true},  // readers named on the file alone
      // One the user may read but not write is refused at the open, as on other systems
      // (Wine's mode makes it read-only, which refuses it first).
      {L"D:P(A;;FR;;;{me})", false},
  };
  ScratchDir dir;
  for (Case c : cases) {
    c.dacl.replace(c.dacl.find(L"{me}"), 4, mine);
    SCOPED_TRACE(testing::Message() << c.dacl);
    std::filesystem::remove(path_of(dir.file("out.txt")));
    dir.write("out.txt", "former\r\n");
    PSECURITY_DESCRIPTOR set = nullptr;
    ASSERT_NE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.dacl.c_str(), SDDL_REVISION_1,
                                                                   &set, nullptr),
              FALSE);
    ASSERT_NE(SetFileSecurityW(path_of(dir.file("out.txt")).wstring().c_str(),
                               DACL_SECURITY_INFORMATION, set),
              FALSE);
    LocalFree(set);
    const std::wstring before = security_of(dir.file("out.txt"));
    ASSERT_FALSE(before.empty());
    const int code = replace(dir.file("out.txt"), "new\r\n");
    if (c.replaced) {
      EXPECT_EQ(code, 0);
      EXPECT_EQ(dir.read("out.txt"), "new\r\n");
    } else {
      EXPECT_TRUE(code == EACCES || code == EROFS) << code;
      EXPECT_EQ(dir.read("out.txt"), "former\r\n");
    }
    EXPECT_EQ(security_of(dir.file("out.txt")), before);
    EXPECT_EQ(entries(dir.path(), L".out.txt.").size(), 0u);
  }
}

TEST(WindowsCommit, TheFileThatStandardInputReadsIsRefused) {
  ScratchDir dir;
  dir.write("answers.txt", "w.txt\r\n");
  const std::wstring name = path_of(dir.file("answers.txt")).wstring();
  HANDLE in = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
  SetStdHandle(STD_INPUT_HANDLE, in);
  os::Output out;
  const int code = os::open_output(dir.file("answers.txt"), false, out);
  SetStdHandle(STD_INPUT_HANDLE, saved);
  CloseHandle(in);
  EXPECT_EQ(code, ETXTBSY);
  EXPECT_EQ(dir.read("answers.txt"), "w.txt\r\n");
}

TEST(WindowsCommit, ALinkWhoseTargetIsMissingIsWrittenThrough) {
  ScratchDir dir;
  const std::wstring link = path_of(dir.file("dl.txt")).wstring();
  constexpr DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  CreateSymbolicLinkW(link.c_str(), L"target2.txt", kUnprivileged);
  const DWORD made = GetFileAttributesW(link.c_str());
  if (made == INVALID_FILE_ATTRIBUTES || (made & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    GTEST_SKIP() << "this system makes no symbolic links for the test (Wine does not: its "
                    "CreateSymbolicLinkW does nothing, and it shows programs no dangling link)";
  }
  EXPECT_EQ(replace(dir.file("dl.txt"), "through\r\n"), 0);
  EXPECT_EQ(dir.read("target2.txt"), "through\r\n");
  EXPECT_NE(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, DWORD{0});
}

}  // namespace
