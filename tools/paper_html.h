#pragma once
// The virtual printer's paper roll as one page a person can look at: thermal paper, 48
// columns, each document cut off from the next, the fiscal identification and the
// cancellations marked as the printer printed them. Used by `tiv paper --html` and
// `tiv demo --html`.
#include <string>
#include <vector>

namespace tivtool {

// The page (UTF-8, self-contained: no file or network fetched) for the roll's lines, given in
// UTF-8 in the order printed. `title` names the roll (e.g. its folder). Every text is
// HTML-escaped. Documents are told apart by the trailer the printer ends each one with (the
// "ECF:... LJ:... FAB:..." line and the blank line it feeds before the cut); lines after the
// last trailer are a document still printing, shown without a cut.
std::string paperHtml(const std::vector<std::string> &lines, const std::string &title);

// The roll file of the printer whose folder, or `tiv demo` state folder, is `folder`:
// folder/paper.txt, else folder/ecf/paper.txt. An empty folder means the printer's own
// default ($ECFSIM_DIR, else $XDG_STATE_HOME/tiv/ecfsim, else ~/.local/state/tiv/ecfsim).
// Raises std::runtime_error naming the places looked at when there is none.
std::string findPaperRoll(const std::string &folder);

// The roll file's lines (CP1252 on paper) in UTF-8. A last line without its line feed, cut by
// a crash, is left out, as the printer leaves it out when it opens the roll.
std::vector<std::string> readPaperRoll(const std::string &path);

// Writes the page to `path` whole or not at all; raises std::runtime_error naming the file.
void writePaperHtml(const std::string &path, const std::vector<std::string> &lines,
                    const std::string &title);

} // namespace tivtool
