#include "tivplatform/stringlist.h"

namespace tiv {

namespace {
[[noreturn]] void badIndex(size_t i, size_t count) {
    throw RangeError("string list index " + std::to_string(i) + " is out of range: the list has " +
                     std::to_string(count) + " lines");
}
} // namespace

const std::string &TStringList::at(size_t i) const {
    if (i >= lines_.size()) badIndex(i, lines_.size());
    return lines_[i];
}

std::string &TStringList::at(size_t i) {
    if (i >= lines_.size()) badIndex(i, lines_.size());
    return lines_[i];
}

void TStringList::insert(size_t i, std::string line) {
    if (i > lines_.size()) badIndex(i, lines_.size());
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(i), std::move(line));
}

void TStringList::erase(size_t i) {
    if (i >= lines_.size()) badIndex(i, lines_.size());
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
}

std::string TStringList::text(const std::string &lineBreak) const {
    std::string out;
    for (const std::string &line : lines_) {
        out += line;
        out += lineBreak;
    }
    return out;
}

void TStringList::setText(const std::string &text) {
    lines_.clear();
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines_.push_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines_.push_back(text.substr(start));
}

} // namespace tiv
