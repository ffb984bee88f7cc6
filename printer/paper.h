#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace ecfsim {

class Store;

// The paper roll: a text file of CP1252 lines beside the database. The database holds every
// line too and is the reference: opening the roll brings the file level with it, so a crash
// between a commit and the file write loses no printed line.
class PaperRoll {
  public:
    PaperRoll() = default;
    PaperRoll(const PaperRoll &) = delete;
    PaperRoll &operator=(const PaperRoll &) = delete;
    ~PaperRoll();

    void open(const std::string &path, Store &store);
    void close();
    void append(const std::vector<std::string> &lines);

  private:
    int fd_ = -1;
};

} // namespace ecfsim
