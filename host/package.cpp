// The common driver package's procedure variables. The host assigns them;
// an empty one tells the driver to skip the reconciliation or to use its own
// fiscal date.
#include "tivhost/host.h"

namespace tivhost {

AtuTotGeralProc &Atu_TotGeral() {
    static AtuTotGeralProc proc;
    return proc;
}

DataMoviFiscalProc &DataMoviFiscal() {
    static DataMoviFiscalProc proc;
    return proc;
}

} // namespace tivhost
