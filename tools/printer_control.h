#pragma once
// The virtual printer's control calls (ECFSIM_), found by name in its
// library: the surroundings of the printer that a script sets up (reset,
// clock, faults) and the journal and paper that every transcript shows.
#include <cstdint>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>

#include "json_forms.h"

namespace tivtool {

// A control call that answered failure; the message is the printer's reason.
class ControlError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class PrinterControl {
  public:
    // From `path` when given; else the printer library already loaded in this
    // process; else libInterfaceEpson.so in `besideFolder`. nullptr when none
    // of them is a virtual printer; `why` then says what was tried.
    static std::unique_ptr<PrinterControl> open(const std::string &path,
                                                const std::string &besideFolder, std::string &why);
    ~PrinterControl();
    PrinterControl(const PrinterControl &) = delete;
    PrinterControl &operator=(const PrinterControl &) = delete;

    const std::string &path() const { return path_; }

    // Checks a control step's name and arguments; throws ShapeError.
    static void validate(const std::string &name, const Json &args);
    // Runs one control; what it answered (a return code or its JSON data).
    // Throws ControlError when it answered failure.
    Json run(const std::string &name, const Json &args);

    // For the transcript of each call: the entry points a call made are the
    // journal entries between beginCall() and callJournal().
    void beginCall();
    Json callJournal();
    int64_t markPaper();
    Json paperSince(int64_t mark);

    struct Api;

    // As many calls as the virtual printer's own journal keeps.
    static constexpr size_t kJournalLimit = 100000;

  private:
    PrinterControl(void *handle, std::string path, std::unique_ptr<Api> api);
    // Moves the printer's journal into journal_ and clears it there; answers
    // the entries moved, or the printer's answer when it is not a list.
    Json drainJournal();

    void *handle_;
    std::string path_;
    std::unique_ptr<Api> api_;
    // The printer hands its journal over whole at every read, so reading it
    // around each call of a long script cost time in the square of the
    // script's length. The journal is kept here instead, the printer's
    // emptied after each read, and the Journal control answers from here.
    std::deque<Json> journal_;
};

} // namespace tivtool
