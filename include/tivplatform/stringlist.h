#pragma once
#include <string>
#include <vector>

#include "tivplatform/errors.h"
#include "tivplatform/export.h"

namespace tiv {

// Ordered texts (printed lines, file lists).
class TIV_EXPORT TStringList {
  public:
    TStringList() = default;
    explicit TStringList(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    void add(std::string line) { lines_.push_back(std::move(line)); }
    void clear() { lines_.clear(); }
    size_t count() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }
    // Bounds-checked; a bad index raises RangeError.
    const std::string &at(size_t i) const;
    std::string &at(size_t i);
    void insert(size_t i, std::string line);
    void erase(size_t i);
    const std::vector<std::string> &lines() const { return lines_; }

    // Every line followed by the line break (CR LF, as the host platform
    // writes it) -- the platform's Text property.
    std::string text(const std::string &lineBreak = "\r\n") const;
    // Splits on CR LF, LF or CR; a trailing break makes no empty last line.
    void setText(const std::string &text);

  private:
    std::vector<std::string> lines_;
};

} // namespace tiv
