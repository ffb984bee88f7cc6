#pragma once
// Runs a script of steps against the module and writes the transcript.
//
// A script is an array of steps, or an object {"steps": [...]}. Each step is
// one of:
//   {"call": "Procedure", "args": [...]}       a procedure of the module
//   {"answers": [true, false]}                 queue the operator's answers
//   {"ecfsim": "Control", "args": [...]}       a control of the virtual printer
// and may carry a "comment". Every step is checked before the first one runs:
// a script error names the step and what was expected, and nothing runs.
//
// As a host program does, the run sets the host library's procedure variables
// Atu_TotGeral and DataMoviFiscal to the module's own procedures; the object
// form may leave either unset: {"hostProcedures": {"Atu_TotGeral": false}}.
#include <deque>
#include <stdexcept>
#include <string>

#include "json_forms.h"
#include "module.h"
#include "printer_control.h"

namespace tivtool {

// A step the engine cannot run as written. `step` counts from 1; 0 means the
// script as a whole.
class ScriptError : public std::runtime_error {
  public:
    ScriptError(size_t step, const std::string &what, size_t argument = 0);
    size_t step() const { return step_; }
    const std::string &detail() const { return detail_; }
    // The procedure's argument it concerns, from 1; 0 for none.
    size_t argument() const { return argument_; }

  private:
    size_t step_;
    size_t argument_;
    std::string detail_;
};

class ScriptRunner {
  public:
    // `printer` may be null: calls then show no journal and no paper, and a
    // printer control in the script is a script error.
    ScriptRunner(const Module &module, PrinterControl *printer);

    // Checks every step; throws ScriptError at the first bad one.
    void validate(const Json &script) const;
    // Validates, then runs every step in order. The transcript is returned
    // even when a step fails at run time; `failed` then says so and the
    // transcript holds an "error" member naming the step.
    Json run(const Json &script, bool &failed);

  private:
    const Json &steps(const Json &script) const;
    void validateStep(const Json &step, size_t number) const;
    Json runCall(const Json &step);
    Json runControl(const Json &step);
    // stMensagemTaa, boClieUtil and inIndiceReceb as the module holds them.
    Json moduleVariables() const;

    const Module &module_;
    PrinterControl *printer_;
    std::deque<bool> answers_;
    Json *dialogs_ = nullptr;   // the dialogs of the call in progress
    Json *hostCalls_ = nullptr; // its calls of the host's procedure variables
};

} // namespace tivtool
