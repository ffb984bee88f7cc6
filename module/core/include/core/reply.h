#pragma once
#include <cstddef>
#include <string>

namespace tiv02000 {

// A reply buffer handed to the vendor library: `size` blanks (or zeros)
// plus one terminating NUL, so a library that writes its full size and a
// terminator never writes past it.
class Reply {
  public:
    explicit Reply(size_t size, char fill = ' ') : buf_(size + 1, fill), size_(size) {
        buf_[size] = '\0';
    }
    char *data() { return buf_.data(); }
    size_t size() const { return size_; }
    // The answer: at most `size` characters, cut at the first NUL.
    std::string text() const {
        std::string s(buf_.data(), size_);
        const auto nul = s.find('\0');
        if (nul != std::string::npos) s.resize(nul);
        return s;
    }

  private:
    std::string buf_;
    size_t size_;
};

} // namespace tiv02000
