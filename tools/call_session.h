#pragma once
// One request, one answer: a procedure call or a printer control as one step
// of a script, through the very engine of `tiv run`. The C interface and
// `tiv serve` both answer through it, so neither can drift from `tiv run`.
//
// A request is {"call": "Procedure", "args": [...], "answers": [...]} or
// {"ecfsim": "Control", "args": [...]}; the answer is the step's record, or
// {"error": {"kind", "message", "argument"}} with kind one of json, request,
// argument (argument counts from 1), open or run.
#include <memory>
#include <string>

#include "json_forms.h"
#include "module.h"
#include "printer_control.h"

namespace tivtool {

class CallSession {
  public:
    // Where the module and the printer come from: {"module": path, "printer":
    // path}, both optional; `defaultModule` when the options name none.
    // Throws std::runtime_error with the reason when either cannot be used.
    CallSession(const Json &options, const std::string &defaultModule);

    // Never throws: every failure is an error answer.
    Json invoke(const Json &request);
    // The same from the request's text (a "json" error when it does not parse).
    Json invoke(const std::string &requestText);

    const Module &module() const { return *module_; }
    // Null when no virtual printer is in use.
    PrinterControl *printer() const { return printer_.get(); }

    static Json error(const std::string &kind, const std::string &message, size_t argument = 0);

  private:
    std::unique_ptr<Module> module_;
    std::unique_ptr<PrinterControl> printer_;
};

} // namespace tivtool
