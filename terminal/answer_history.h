// Answers of earlier runs, kept per question in the user's state folder so that a terminal's
// line editor can recall them: $XDG_STATE_HOME/kel2fram/history, by default
// ~/.local/state/kel2fram/history. One line per answer: the question's name, a tab, the
// answer; oldest first. The history never fails a run: a file that cannot be read or written
// is passed over.
//
// The history is the running user's alone. The state folder (or the home) must be the user's,
// and so must every folder below it and the file itself: nothing is made or written in a home
// of another user (root running with a user's HOME), a link in the history's place is never
// followed, and a device, FIFO or link put there (a link to the null device switches the
// history off) is left alone. Another user's folder or file is left alone too, and said once
// on standard error, as is a state folder that cannot be one (a file in its place). A state
// folder that is not there yet is made, with mode 0700. Runs that add answers at the same time take
// turns through a lock on the history's folder, so that no answer is lost.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace terminal::answer_history {

inline constexpr std::size_t kKeptPerQuestion = 200;

struct Entry {
  std::string question;
  std::string answer;
  bool operator==(const Entry&) const = default;
};

// Where the history lives: its folder is `below` (a relative path) in `base`, the state
// folder or the home folder that the environment names.
struct Location {
  std::string base;
  std::string below;
  std::string file() const { return base + '/' + below + "/history"; }
};

// The history's place from XDG_STATE_HOME (absolute) or else HOME (absolute); none without.
std::optional<Location> location();

// The entries of the history, oldest first; none when there is no history of this user's.
std::vector<Entry> load(const Location& place);

// Makes `added` the newest entry: an earlier equal answer to the same question is dropped,
// and only the newest `kept` answers of each question stay.
void add_entry(std::vector<Entry>& entries, const Entry& added,
               std::size_t kept = kKeptPerQuestion);

// Adds one answer: under the folder's lock the file is read again (another run may have added
// answers since), updated with add_entry, written whole to a temporary file of mode 0600 and
// renamed over it, with every signal held meanwhile so that no temporary file is left behind.
// Missing folders are made with mode 0700: the base and those above it (a state folder named
// but not there yet), and those below it when the base is the user's.
void record(const Location& place, const Entry& added);

}  // namespace terminal::answer_history
