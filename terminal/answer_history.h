// Answers of earlier runs, kept per question in the user's state folder so that a terminal's
// line editor can recall them: $XDG_STATE_HOME/kel2fram/history, by default
// ~/.local/state/kel2fram/history. One line per answer: the question's name, a tab, the
// answer; oldest first. A file that cannot be read or written is passed over silently: the
// history never fails a run.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace terminal::answer_history {

inline constexpr std::size_t kKeptPerQuestion = 200;

struct Entry {
  std::string question;
  std::string answer;
  bool operator==(const Entry&) const = default;
};

// The history file's name; empty when no state folder is known (neither an absolute
// XDG_STATE_HOME nor an absolute HOME).
std::string file_name();

// The entries of the file, oldest first; none when it cannot be read or is no regular file.
std::vector<Entry> load(const std::string& file);

// Makes `added` the newest entry: an earlier equal answer to the same question is dropped,
// and only the newest `kept` answers of each question stay.
void add_entry(std::vector<Entry>& entries, const Entry& added,
               std::size_t kept = kKeptPerQuestion);

// Adds one answer to the file: it is read again (another run may have added answers since),
// updated with add_entry, and written whole to a temporary file of mode 0600 that is renamed
// over it. Missing folders are made with mode 0700.
void record(const std::string& file, const Entry& added);

}  // namespace terminal::answer_history
