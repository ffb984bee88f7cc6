#pragma once
// Blocks of the till-closing prints: the printer takes at most kBlockLimit
// characters per call, and the columns of amounts that must stay whole.
#include <string>
#include <vector>

namespace tiv02000 {

// Pieces of `block`, each within kBlockLimit characters: whole lines while
// they fit, and a single line longer than the limit cut into pieces of the
// limit. Put back together they give `block` unchanged, so no line is lost
// to the printer's block size.
std::vector<std::string> blockPieces(const std::string &block);

// Prints `block` into the open report in as few pieces as the limit allows;
// the results of the single prints are not used.
void printBlock(const std::string &colourScheme, const std::string &block);

// A quantity or amount with 2 decimals, no thousands separator, right-aligned
// in `width` columns. A number wider than its column is printed whole after
// one blank (the printer wraps the line) rather than losing its first digits.
std::string numberColumn(double value, int width);

// `target` takes `value` when it is still blank.
void fillWhenBlank(std::string &target, const std::string &value);

} // namespace tiv02000
