#include "paper_html.h"

#include <cstdlib>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "tivplatform/cp1252.h"
#include "tivplatform/errors.h"
#include "tivplatform/system.h"
#include "tivplatform/text.h"

namespace tivtool {

namespace {

constexpr size_t kColumns = 48;

struct Line {
    std::string text;
    std::string marks; // CSS classes beside "ln"
};

struct Document {
    std::vector<Line> lines;
    std::string title, coo;
    bool cut = false;          // the printer ended it with its trailer
    bool cancelled = false;    // a receipt or voucher cancelled, here or later on the roll
    bool cancellation = false; // the document that cancels the last receipt
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!isDigit(c)) return false;
    return true;
}

std::string trimmed(std::string_view s) {
    return tiv::trim(s, " ");
}

// The line of the trailer that names the printer: "ECF:001 LJ:0001 ... FAB:<serial>".
bool isTrailerId(const std::string &line) {
    return line.starts_with("ECF:") && line.find(" LJ:") != std::string::npos &&
           line.find("FAB:") != std::string::npos;
}

bool isRule(const std::string &line) {
    return line.size() == kColumns && line.find_first_not_of('-') == std::string::npos;
}

void mark(Line &line, const char *what) {
    if (line.marks.find(what) != std::string::npos) return;
    if (!line.marks.empty()) line.marks += ' ';
    line.marks += what;
}

// The document's heading: the date line ending in "COO:nnnnnn", then its title.
void readHeading(Document &doc) {
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        const std::string &text = doc.lines[i].text;
        const size_t at = text.rfind("COO:");
        if (at == std::string::npos || !allDigits(text.substr(at + 4))) continue;
        doc.coo = text.substr(at + 4);
        if (i + 1 < doc.lines.size()) doc.title = trimmed(doc.lines[i + 1].text);
        return;
    }
}

// The printer's identification before the cut, between the trailer's rule and its
// "ECF: LJ: FAB:" line: the fiscal logo of this printer.
void markLogo(Document &doc) {
    for (size_t t = doc.lines.size(); t-- > 0;) {
        if (!isTrailerId(doc.lines[t].text)) continue;
        size_t first = t;
        while (first > 0 && !isRule(doc.lines[first - 1].text))
            --first;
        if (first == 0) first = t; // no rule: only the identification line itself
        for (size_t i = first; i <= t; ++i)
            mark(doc.lines[i], "logo");
        return;
    }
}

// An item's lines: "NNN code description" (wrapped as long as it is), then its quantity line
// ("    1,000 UN X ..."), and any discount or surcharge given on it.
void voidItem(Document &doc, const std::string &number) {
    size_t i = 0;
    while (i < doc.lines.size() && !doc.lines[i].text.starts_with(number + " "))
        ++i;
    for (; i < doc.lines.size(); ++i) {
        Line &line = doc.lines[i];
        mark(line, "voided");
        if (line.text.size() > 4 && line.text.starts_with("    ") && isDigit(line.text[4])) break;
    }
    for (Line &line : doc.lines)
        if (line.text.starts_with("desconto item " + number + " ") ||
            line.text.starts_with("acrescimo item " + number + " "))
            mark(line, "voided");
}

// The cancellations as the printer prints them: an item's ("cancelamento item NNN"), an open
// receipt's ("CUPOM FISCAL CANCELADO", "TOTAL CANCELADO R$"), a card voucher's ("COMPROVANTE
// CANCELADO") and the last receipt's, a document of its own naming the receipt's COO.
// Answers the COO a cancellation document names, if any.
std::string markCancellations(Document &doc) {
    std::string cancelledCoo;
    doc.cancellation = doc.title == "CANCELAMENTO";
    std::vector<std::string> items;
    for (Line &line : doc.lines) {
        const std::string text = trimmed(line.text);
        if (line.text.starts_with("cancelamento item ")) {
            mark(line, "cancel");
            const std::string number = line.text.substr(18, 3);
            if (allDigits(number)) items.push_back(number);
        } else if (text == "CUPOM FISCAL CANCELADO" || text.starts_with("TOTAL CANCELADO R$") ||
                   text == "COMPROVANTE CANCELADO") {
            mark(line, "cancel");
            doc.cancelled = true;
        } else if (doc.cancellation && text.starts_with("COO do cupom cancelado:")) {
            mark(line, "cancel");
            const size_t blank = text.rfind(' ');
            cancelledCoo = text.substr(blank + 1);
        }
    }
    if (doc.title == "CUPOM FISCAL")
        for (const auto &n : items)
            voidItem(doc, n);
    return cancelledCoo;
}

std::vector<Document> split(const std::vector<std::string> &lines) {
    std::vector<Document> docs(1);
    for (size_t i = 0; i < lines.size(); ++i) {
        docs.back().lines.push_back({lines[i], {}});
        if (lines[i].empty() && i > 0 && isTrailerId(lines[i - 1])) {
            docs.back().cut = true;
            docs.emplace_back();
        }
    }
    if (docs.back().lines.empty()) docs.pop_back();
    return docs;
}

void escapeInto(std::string &out, std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            // A control character is no text a page may hold: shown as the replacement mark.
            if (c < 0x20 || c == 0x7F)
                out += "\xEF\xBF\xBD";
            else
                out += static_cast<char>(c);
        }
    }
}

// The line cut into pieces of at most 48 characters (not bytes), as the printer wraps a line
// too long for its paper.
std::vector<std::string_view> columns(std::string_view text) {
    std::vector<std::string_view> pieces;
    size_t start = 0, count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool begins = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (!begins) continue;
        if (count == kColumns) {
            pieces.push_back(text.substr(start, i - start));
            start = i;
            count = 0;
        }
        ++count;
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

constexpr const char *kStyle = R"(
body { margin: 0; padding: 24px 12px; background: #d6d6d2; color: #222;
       font-family: "DejaVu Sans", "Liberation Sans", sans-serif; }
h1 { font-size: 15px; font-weight: normal; text-align: center; margin: 0 0 16px; }
.roll { width: max-content; margin: 0 auto; }
.doc { position: relative; box-sizing: content-box; width: 48ch; padding: 14px 2ch 10px;
       background: #fbfaf3; box-shadow: 0 1px 3px rgba(0, 0, 0, .35);
       font-family: "DejaVu Sans Mono", "Liberation Mono", monospace; font-size: 13px; }
.ln { white-space: pre; height: 1.3em; line-height: 1.3em; color: #333; }
.ln.logo { font-weight: bold; color: #000; }
.ln.cancel { font-weight: bold; color: #b00020; background: #fbe3e6; }
.ln.voided { text-decoration: line-through; color: #8a8a8a; }
.doc.cancelled { outline: 2px dashed #b00020; outline-offset: -5px; }
.doc.cancelled::after { content: "CANCELADO"; position: absolute; top: 40%; left: 0; right: 0;
       text-align: center; font: bold 34px sans-serif; color: rgba(176, 0, 32, .16);
       transform: rotate(-18deg); pointer-events: none; }
.doc.cancellation { border-left: 4px solid #b00020; }
.cut { position: relative; height: 22px; margin: 0 -1ch; }
.cut::before { content: ""; position: absolute; top: 10px; left: 0; right: 0;
       border-top: 1px dashed #777; }
.cut::after { content: "\2702"; position: absolute; top: 0; left: 0; font-size: 16px;
       line-height: 20px; color: #555; background: #d6d6d2; }
)";

} // namespace

std::string paperHtml(const std::vector<std::string> &lines, const std::string &title) {
    std::vector<Document> docs = split(lines);
    std::set<std::string> cancelledLater;
    for (Document &doc : docs) {
        readHeading(doc);
        markLogo(doc);
        const std::string coo = markCancellations(doc);
        if (!coo.empty()) cancelledLater.insert(coo);
    }
    for (Document &doc : docs)
        if (doc.title == "CUPOM FISCAL" && cancelledLater.count(doc.coo)) doc.cancelled = true;

    std::string out = "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<title>";
    escapeInto(out, title);
    out += "</title>\n<style>";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<h1>";
    escapeInto(out, title);
    out += "</h1>\n<main class=\"roll\">\n";
    for (const Document &doc : docs) {
        out += "<section class=\"doc";
        if (doc.cancelled) out += " cancelled";
        if (doc.cancellation) out += " cancellation";
        if (!doc.cut) out += " open";
        out += "\"";
        if (!doc.title.empty()) {
            out += " data-title=\"";
            escapeInto(out, doc.title);
            out += "\"";
        }
        if (!doc.coo.empty()) out += " data-coo=\"" + doc.coo + "\"";
        out += ">\n";
        for (const Line &line : doc.lines)
            for (std::string_view piece : columns(line.text)) {
                out += "<div class=\"ln";
                if (!line.marks.empty()) out += " " + line.marks;
                out += "\">";
                escapeInto(out, piece);
                out += "</div>\n";
            }
        out += "</section>\n";
        if (doc.cut) out += "<div class=\"cut\" role=\"separator\" title=\"corte\"></div>\n";
    }
    out += "</main>\n</body>\n</html>\n";
    return out;
}

std::string findPaperRoll(const std::string &folder) {
    std::string base = folder;
    if (base.empty()) {
        // The printer's own default folder, worked out as the printer does.
        if (const char *dir = std::getenv("ECFSIM_DIR"); dir && *dir)
            base = dir;
        else if (const char *state = std::getenv("XDG_STATE_HOME"); state && *state)
            base = std::string(state) + "/tiv/ecfsim";
        else if (const char *home = std::getenv("HOME"); home && *home)
            base = std::string(home) + "/.local/state/tiv/ecfsim";
        else
            throw std::runtime_error("no printer folder: give --state (HOME is not set)");
    }
    for (const std::string &path : {base + "/paper.txt", base + "/ecf/paper.txt"})
        if (std::filesystem::is_regular_file(path)) return path;
    throw std::runtime_error("no paper roll in " + base +
                             " (looked for paper.txt and ecf/paper.txt)");
}

std::vector<std::string> readPaperRoll(const std::string &path) {
    std::string data;
    try {
        data = tiv::readFile(path);
    } catch (const tiv::Error &e) {
        throw std::runtime_error(std::string("the paper roll: ") + e.what());
    }
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = data.find('\n'); end != std::string::npos; end = data.find('\n', start)) {
        lines.push_back(tiv::cp1252ToUtf8(std::string_view(data).substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

void writePaperHtml(const std::string &path, const std::vector<std::string> &lines,
                    const std::string &title) {
    try {
        tiv::writeFileAtomic(path, paperHtml(lines, title));
    } catch (const tiv::Error &e) {
        throw std::runtime_error(std::string("the page: ") + e.what());
    }
}

} // namespace tivtool
