// Splitting of printed blocks and the number columns of the till-closing prints.
#include "report_blocks.h"

#include "core/text.h"
#include "documents/documents.h"
#include "management_report.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"

namespace tiv02000 {

std::vector<std::string> blockPieces(const std::string &block) {
    std::vector<std::string> pieces;
    std::string piece;
    size_t from = 0;
    while (from < block.size()) {
        const size_t lf = block.find('\n', from);
        const size_t to = lf == std::string::npos ? block.size() : lf + 1;
        std::string line = block.substr(from, to - from);
        from = to;
        if (piece.size() + line.size() <= kBlockLimit) {
            piece += line;
            continue;
        }
        if (!piece.empty()) pieces.push_back(std::move(piece));
        piece.clear();
        // A line longer than the printer takes goes in pieces of the limit.
        while (line.size() > kBlockLimit) {
            pieces.push_back(line.substr(0, kBlockLimit));
            line.erase(0, kBlockLimit);
        }
        piece = std::move(line);
    }
    if (!piece.empty()) pieces.push_back(std::move(piece));
    return pieces;
}

void printBlock(const std::string &colourScheme, const std::string &block) {
    for (const std::string &piece : blockPieces(block))
        (void)printReportText(colourScheme, piece);
}

std::string numberColumn(double value, int width) {
    // -0.00 would read as a shortage of nothing.
    const std::string text = tiv::formatFixed(tiv::roundDec(value, 2) + 0.0, 2);
    if (text.size() <= static_cast<size_t>(width)) return tivhost::TamFixoR(text, width);
    return " " + text;
}

void fillWhenBlank(std::string &target, const std::string &value) {
    if (isBlank(target)) target = value;
}

} // namespace tiv02000
