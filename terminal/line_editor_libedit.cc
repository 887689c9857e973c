// The console of a terminal read through libedit: the keys of a shell (cursor keys, Home and
// End, deletion, Ctrl-A, Ctrl-E, Ctrl-U, Ctrl-W), the answers of earlier runs recalled per
// question with the up and down arrows, and file names completed with Tab at the questions
// that name a file. What the program receives is the typed line as it stands, leading blanks
// included.
//
// The prompt is the open line that the program wrote last: it is held back from the terminal
// and shown by the editor, which must know it to redraw the line.
#include <dirent.h>
#include <histedit.h>
#include <langinfo.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "os/platform.h"
#include "terminal/answer_history.h"
#include "terminal/console.h"
#include "terminal/line_editor.h"

namespace terminal {
namespace {

using lineio::ByteSink;
using lineio::ByteSource;
using lineio::kEndOfFile;

// What the next line answers.
std::string asked_question = "answer";
bool asked_names_file = false;

// ---- The terminal given back when a signal ends or stops the program -----------------------
// While a line is edited the terminal is in the editor's own mode; a signal that ends or stops
// the program must not leave it so.

termios cooked_mode{};
volatile std::sig_atomic_t editing = 0;

constexpr std::array<int, 4> kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
std::array<struct sigaction, kEndingSignals.size()> former_actions{};

extern "C" void give_terminal_back_and_end(int signal_number) {
  if (editing != 0) {
    static_cast<void>(::tcsetattr(STDIN_FILENO, TCSANOW, &cooked_mode));
    static_cast<void>(::write(STDOUT_FILENO, "\r\n", 2));
  }
  // The action that was there before (the removal of pending files, or the default) takes
  // the signal again as soon as this handler returns: it is held back until then.
  for (std::size_t n = 0; n < kEndingSignals.size(); ++n) {
    if (kEndingSignals[n] == signal_number) {
      static_cast<void>(::sigaction(signal_number, &former_actions[n], nullptr));
    }
  }
  static_cast<void>(std::raise(signal_number));
}

// Ctrl-Z: the terminal as it was while stopped, the editor's mode again when continued.
extern "C" void stop_with_terminal_given_back(int /*signal_number*/) {
  termios edit_mode{};
  const bool was_editing = editing != 0 && ::tcgetattr(STDIN_FILENO, &edit_mode) == 0;
  if (was_editing) static_cast<void>(::tcsetattr(STDIN_FILENO, TCSANOW, &cooked_mode));
  struct sigaction stop {};
  stop.sa_handler = SIG_DFL;
  sigemptyset(&stop.sa_mask);
  struct sigaction mine {};
  static_cast<void>(::sigaction(SIGTSTP, &stop, &mine));
  static_cast<void>(std::raise(SIGTSTP));
  sigset_t tstp;
  sigemptyset(&tstp);
  sigaddset(&tstp, SIGTSTP);
  static_cast<void>(::sigprocmask(SIG_UNBLOCK, &tstp, nullptr));  // stops here
  static_cast<void>(::sigaction(SIGTSTP, &mine, nullptr));
  if (was_editing) static_cast<void>(::tcsetattr(STDIN_FILENO, TCSANOW, &edit_mode));
}

void install_signal_handlers() {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t n = 0; n < kEndingSignals.size(); ++n) {
    if (::sigaction(kEndingSignals[n], nullptr, &former_actions[n]) != 0) continue;
    if (former_actions[n].sa_handler == SIG_IGN) continue;  // as the caller wants
    action.sa_handler = give_terminal_back_and_end;
    static_cast<void>(::sigaction(kEndingSignals[n], &action, nullptr));
  }
  struct sigaction former {};
  if (::sigaction(SIGTSTP, nullptr, &former) == 0 && former.sa_handler == SIG_DFL) {
    action.sa_handler = stop_with_terminal_given_back;
    static_cast<void>(::sigaction(SIGTSTP, &action, nullptr));
  }
}

// ---- Completion of file names ------------------------------------------------------------

struct Candidate {
  std::string name;
  bool folder = false;
  bool operator<(const Candidate& other) const { return name < other.name; }
};

constexpr std::size_t kMostListed = 200;

// The entries of `folder` ("" is the current one) whose names begin with `start`; names
// beginning with a dot only when `start` does.
std::vector<Candidate> names_starting(const std::string& folder, std::string_view start) {
  std::vector<Candidate> found;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || !name.starts_with(start)) continue;
    if (name.starts_with('.') && !start.starts_with('.')) continue;
    struct stat st {};
    const std::string path = folder + std::string(name);
    const bool is_folder = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    found.push_back({std::string(name), is_folder});
  }
  ::closedir(dir);
  std::sort(found.begin(), found.end());
  return found;
}

// The longest beginning that every name shares, not cut inside a UTF-8 character, and at
// least `least` (the part already typed, which every name begins with).
std::size_t common_length(const std::vector<Candidate>& found, std::size_t least) {
  const std::string& first = found.front().name;
  std::size_t n = first.size();
  for (const Candidate& c : found) {
    std::size_t k = 0;
    while (k < n && k < c.name.size() && c.name[k] == first[k]) ++k;
    n = k;
  }
  while (n > least && n < first.size() && (static_cast<unsigned char>(first[n]) & 0xC0) == 0x80) {
    --n;
  }
  return n;
}

void list_names(const std::vector<Candidate>& found) {
  winsize size{};
  const std::size_t width =
      ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
  const std::size_t shown = std::min(found.size(), kMostListed);
  std::size_t longest = 1;
  for (std::size_t k = 0; k < shown; ++k) {
    longest = std::max(longest,
                       lineio::escape_controls(found[k].name).size() + (found[k].folder ? 1 : 0));
  }
  const std::size_t columns = std::max<std::size_t>(1, width / (longest + 2));
  const std::size_t rows = (shown + columns - 1) / columns;
  std::string text = "\r\n";
  for (std::size_t row = 0; row < rows; ++row) {
    for (std::size_t k = row; k < shown; k += rows) {
      // Shown as `ls` shows them at a terminal: a control character in a name is escaped, so
      // that a name never moves the cursor, clears the screen or retitles the window.
      const std::string cell =
          lineio::escape_controls(found[k].name) + (found[k].folder ? "/" : "");
      text += cell;
      if (k + rows < shown) text.append(longest + 2 - cell.size(), ' ');
    }
    text += "\r\n";
  }
  if (found.size() > shown) {
    text += "... and " + std::to_string(found.size() - shown) + " more\r\n";
  }
  static_cast<void>(std::fflush(stdout));
  static_cast<void>(os::write_all(os::standard_output(), {text.data(), text.size()}));
}

// ---- The editor ------------------------------------------------------------------------------

char* prompt_of(EditLine* el);

class Editor {
 public:
  Editor() = default;
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;
  ~Editor() {
    if (el_ != nullptr) el_end(el_);
    for (auto& [question, history] : histories_) history_end(history);
    if (quiet_ != nullptr) static_cast<void>(std::fclose(quiet_));
  }

  bool start();
  // Reads one line after `prompt` into line (with its line feed); answers 0, kEndOfFile or a
  // positive code.
  int read_line(std::string prompt, std::string& line);
  unsigned char complete();
  char* prompt() { return prompt_.data(); }

 private:
  History* history_of(const std::string& question);
  std::string line_state() const;

  EditLine* el_ = nullptr;
  std::FILE* quiet_ = nullptr;
  std::map<std::string, History*> histories_;
  std::optional<answer_history::Location> history_place_;
  std::string prompt_;
  std::string listed_at_;  // the line when a Tab completed nothing: a second Tab lists
};

Editor editor;

char* prompt_of(EditLine* /*el*/) {
  return editor.prompt();
}

// Called from the library's C code, which nothing may be thrown through.
extern "C" unsigned char complete_name(EditLine* /*el*/, int /*key*/) {
  try {
    return editor.complete();
  } catch (...) {
    return CC_ERROR;
  }
}

bool Editor::start() {
  // Typed letters are read in the terminal's encoding; without any locale, as UTF-8.
  static_cast<void>(std::setlocale(LC_CTYPE, ""));
  if (std::string_view(nl_langinfo(CODESET)) == "ANSI_X3.4-1968") {
    static_cast<void>(std::setlocale(LC_CTYPE, "C.UTF-8"));
  }
  // The editor's own complaints (an unknown terminal type, edited on with plain settings)
  // would be lines on standard error that are not the program's.
  quiet_ = std::fopen("/dev/null", "w");
  el_ = el_init("kel2fram", stdin, stdout, quiet_ != nullptr ? quiet_ : stderr);
  if (el_ == nullptr) return false;
  el_set(el_, EL_EDITOR, "emacs");
  el_set(el_, EL_PROMPT, prompt_of);
  // The wide form keeps the names as given (the narrow one copies them and never frees them).
  el_wset(el_, EL_ADDFN, L"kel2fram-complete", L"Complete a file name", complete_name);
  // The keys of a shell, also where the terminal's description lacks them.
  const std::array<std::pair<const char*, const char*>, 22> keys = {{
      {"^I", "kel2fram-complete"},  {"^W", "ed-delete-prev-word"},
      {"^U", "vi-kill-line-prev"},  {"\\e[H", "ed-move-to-beg"},
      {"\\eOH", "ed-move-to-beg"},  {"\\e[1~", "ed-move-to-beg"},
      {"\\e[7~", "ed-move-to-beg"}, {"\\e[F", "ed-move-to-end"},
      {"\\eOF", "ed-move-to-end"},  {"\\e[4~", "ed-move-to-end"},
      {"\\e[8~", "ed-move-to-end"}, {"\\e[3~", "ed-delete-next-char"},
      {"\\e[A", "ed-prev-history"}, {"\\eOA", "ed-prev-history"},
      {"\\e[B", "ed-next-history"}, {"\\eOB", "ed-next-history"},
      {"\\e[C", "ed-next-char"},    {"\\eOC", "ed-next-char"},
      {"\\e[D", "ed-prev-char"},    {"\\eOD", "ed-prev-char"},
      {"\\e[1;5C", "em-next-word"}, {"\\e[1;5D", "ed-prev-word"},
  }};
  for (const auto& [key, function] : keys) el_set(el_, EL_BIND, key, function, nullptr);

  history_place_ = answer_history::location();
  if (history_place_) {
    HistEvent event{};
    for (const answer_history::Entry& e : answer_history::load(*history_place_)) {
      history(history_of(e.question), &event, H_ENTER, e.answer.c_str());
    }
  }
  install_signal_handlers();
  return true;
}

History* Editor::history_of(const std::string& question) {
  History*& h = histories_[question];
  if (h == nullptr) {
    h = history_init();
    HistEvent event{};
    history(h, &event, H_SETSIZE, static_cast<int>(answer_history::kKeptPerQuestion));
    history(h, &event, H_SETUNIQUE, 1);
  }
  return h;
}

int Editor::read_line(std::string prompt, std::string& line) {
  prompt_ = std::move(prompt);
  listed_at_.clear();
  History* h = history_of(asked_question);
  el_set(el_, EL_HIST, history, h);
  int count = 0;
  const char* got = nullptr;
  do {
    if (::tcgetattr(STDIN_FILENO, &cooked_mode) == 0) editing = 1;
    got = el_gets(el_, &count);
    editing = 0;
  } while (got == nullptr && count < 0 && errno == EINTR);
  if (got == nullptr || count <= 0) {
    if (count < 0) return errno != 0 ? errno : EIO;
    // Ctrl-D on an empty line: what the program says next stands on a line of its own.
    static_cast<void>(os::write_all(os::standard_output(), std::string_view("\r\n")));
    return kEndOfFile;
  }
  line.assign(got, static_cast<std::size_t>(count));
  std::string answer = line;
  if (answer.ends_with('\n')) answer.pop_back();
  if (answer.find_first_not_of(" \t") != std::string::npos) {
    HistEvent event{};
    history(h, &event, H_ENTER, answer.c_str());
    if (history_place_) answer_history::record(*history_place_, {asked_question, answer});
  }
  return 0;
}

std::string Editor::line_state() const {
  const LineInfo* info = el_line(el_);
  std::string state(info->buffer, static_cast<std::size_t>(info->lastchar - info->buffer));
  state += '\0';
  state += std::to_string(info->cursor - info->buffer);
  return state;
}

unsigned char Editor::complete() {
  if (!asked_names_file) return CC_ERROR;
  const LineInfo* info = el_line(el_);
  const std::string typed(info->buffer, static_cast<std::size_t>(info->cursor - info->buffer));
  const std::size_t slash = typed.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : typed.substr(0, slash + 1);
  const std::string_view start = std::string_view(typed).substr(folder.size());
  const std::vector<Candidate> found = names_starting(folder, start);
  if (found.empty()) return CC_ERROR;
  std::string addition =
      found.front().name.substr(start.size(), common_length(found, start.size()) - start.size());
  // A name is completed up to its first control character only: a line feed inserted into
  // the line would end the answer there and shift every later one.
  const bool whole = lineio::first_control(addition) == std::string::npos;
  addition.resize(std::min(lineio::first_control(addition), addition.size()));
  // A single name that cannot be completed whole is listed (escaped) by the next Tab.
  const bool choice = found.size() > 1 || !whole;
  if (whole && found.size() == 1 && found.front().folder) addition += '/';
  if (!addition.empty()) {
    if (el_insertstr(el_, addition.c_str()) != 0) return CC_ERROR;
    // With several names left, the next Tab lists them.
    listed_at_ = choice ? line_state() : std::string();
    return CC_REFRESH;
  }
  if (choice && listed_at_ == line_state()) {
    list_names(found);
    return CC_REDISPLAY;
  }
  listed_at_ = line_state();
  return CC_ERROR;
}

// ---- The console streams -----------------------------------------------------------------

class EditedOutput final : public ByteSink {
 public:
  EditedOutput() = default;
  EditedOutput(const EditedOutput&) = delete;
  EditedOutput& operator=(const EditedOutput&) = delete;
  ~EditedOutput() override { static_cast<void>(release()); }
  // Writes every whole line; an open line at the end waits for the editor or the next write.
  int write(std::span<const char> bytes) override {
    const std::string_view text(bytes.data(), bytes.size());
    const std::size_t end = text.rfind('\n');
    if (end == std::string_view::npos) {
      open_line_ += text;
      return 0;
    }
    open_line_ += text.substr(0, end + 1);
    const int error = release();
    open_line_.assign(text.substr(end + 1));
    return error;
  }
  std::string take_open_line() { return std::exchange(open_line_, {}); }
  int release() {
    const std::string text = std::exchange(open_line_, {});
    return os::write_all(os::standard_output(), {text.data(), text.size()});
  }

 private:
  std::string open_line_;
};

EditedOutput edited_output;

class EditedInput final : public ByteSource {
 public:
  long read(std::span<char> into) override {
    if (!started_) {
      started_ = true;
      broken_ = !editor.start();
    }
    if (broken_) {
      // No editor after all: the prompt is shown and the line read plainly.
      if (const int error = edited_output.release(); error != 0) return -error;
      return os::read(os::standard_input(), into);
    }
    if (taken_ == line_.size()) {
      taken_ = 0;
      line_.clear();
      const int status = editor.read_line(edited_output.take_open_line(), line_);
      if (status == kEndOfFile) return 0;
      if (status != 0) return -status;
    }
    const std::size_t n = std::min(into.size(), line_.size() - taken_);
    std::copy_n(line_.data() + taken_, n, into.data());
    taken_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string line_;
  std::size_t taken_ = 0;
  bool started_ = false;
  bool broken_ = false;
};

EditedInput edited_input;
const line_editor::Console edited_console{edited_input, edited_output};

}  // namespace

void next_line_answers(std::string_view question, bool names_file) {
  asked_question.assign(question);
  asked_names_file = names_file;
}

namespace line_editor {

const Console* terminal_console() {
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0' || std::string_view(term) == "dumb") return nullptr;
  return &edited_console;
}

}  // namespace line_editor
}  // namespace terminal
