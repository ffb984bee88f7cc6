#pragma once
// The host program's part of the common driver package: the two procedure
// variables a host sets before it calls the driver (Atu_TotGeral, which the
// driver calls after a cancellation, and DataMoviFiscal, the fiscal movement
// date), pointed at the module's own procedures of those names. Every call
// the driver makes through them is recorded for the transcript.
#include "json_forms.h"
#include "module.h"

namespace tivtool {

class HostProcedures {
  public:
    // Sets each variable asked for whose procedure the module exports; the
    // others stay unset, and the driver then skips the reconciliation or
    // uses its own fiscal date. The previous values come back on destruction.
    HostProcedures(const Module &module, bool atuTotGeral, bool dataMoviFiscal);
    ~HostProcedures();
    HostProcedures(const HostProcedures &) = delete;
    HostProcedures &operator=(const HostProcedures &) = delete;

    // Where the calls are recorded: into *calls when it is not null (the
    // record of the procedure in progress).
    void recordInto(Json *const *calls) { calls_ = calls; }
    // {"Atu_TotGeral": true, "DataMoviFiscal": false}: which are set.
    Json settings() const;

  private:
    struct Saved;
    Saved *saved_;
    Json *const *calls_ = nullptr;
    bool atuSet_ = false, dateSet_ = false;
};

} // namespace tivtool
