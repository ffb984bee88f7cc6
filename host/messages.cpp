// The message catalogue component: "key|text" lines looked up by key.
#include "tivhost/host.h"

namespace tivhost {

namespace {

bool sameKey(const std::string &a, size_t n, const std::string &b) {
    if (n != b.size()) return false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

} // namespace

std::string TMessages::Msg(const std::string &key) const {
    for (const std::string &line : lines_) {
        size_t bar = line.find('|');
        if (bar == std::string::npos) continue; // not an entry
        if (sameKey(line, bar, key)) return line.substr(bar + 1);
    }
    // A missing text shows its key, which tells the reader what to add.
    return key;
}

} // namespace tivhost
