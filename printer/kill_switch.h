#pragma once
// A test facility for crash sweeps: ECFSIM_KILL_AT=N[:phase], read once when the library is
// loaded, makes the process kill itself (SIGKILL) during the Nth call that reaches the printer:
// an entry point, or a control that changes the state (OpenFolder, Reset, SetClock, ShiftClock,
// SetDrawer, SetCounters, SetTables, RecordReduction). Phases:
//   before  (default) on entry, before the call is carried out;
//   commit  inside the call's transaction, just before it is committed (a call that reaches no
//           commit, a query or a refusal, is killed before its reply instead);
//   reply   just after the call's first commit, before anything else it does and before it
//           returns (a call that reaches no commit is killed before its reply).
// A call that stores its work in two transactions is thus caught half done.
// Unset or not of that form, nothing happens.
namespace ecfsim::kill {

// One call that reaches the printer, from its entry to its reply.
class Call {
  public:
    Call();
    ~Call();
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;
};

// The store is about to commit a transaction, and has just committed it.
void beforeCommit();
void afterCommit();

} // namespace ecfsim::kill
