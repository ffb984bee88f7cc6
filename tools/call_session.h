#pragma once
// One request, one answer: a procedure call or a printer control as one step
// of a script, through the very engine of `tiv run`. The C interface and
// `tiv serve` both answer through it, so neither can drift from `tiv run`.
//
// A request is {"call": "Procedure", "args": [...], "answers": [...]} or
// {"ecfsim": "Control", "args": [...]}; the answer is the step's record, or
// {"error": {"kind", "message", "argument"}} with kind one of json, request,
// argument (argument counts from 1), open or run.
//
// {"receipt": {...}, "id": "..."} sells a whole receipt (receipt_request.h);
// its input faults are "argument" errors with "field" naming the member. A
// receipt with an id is kept: repeated after it closed, it answers what it
// answered ("repeated": true) and prints nothing; repeated after it stopped
// part-way, it goes on from there.
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "json_forms.h"
#include "module.h"
#include "printer_control.h"
#include "receipt_request.h"

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

    // Receipts kept under their ids, the oldest forgotten first.
    static constexpr size_t kKeptReceipts = 16;

  private:
    Json invokeReceipt(const Json &request);

    struct KeptReceipt {
        std::string request;
        ReceiptProgress progress;
    };
    std::map<std::string, KeptReceipt> receipts_;
    std::deque<std::string> receiptOrder_;
    std::unique_ptr<Module> module_;
    std::unique_ptr<PrinterControl> printer_;
};

} // namespace tivtool
