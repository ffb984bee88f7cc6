// The public header must compile on its own under the strictest warnings, and
// every pointer type must be the exact type of the procedure it names.
#include "tiv02000/tiv02000.h"

#include <type_traits>

#define TIV_CHECK_POINTER_TYPE(ret, name, params, args)                                            \
    static_assert(std::is_same_v<tiv02000::fn::name, decltype(&::name)>, #name);
TIV02000_PROCEDURES(TIV_CHECK_POINTER_TYPE)
#undef TIV_CHECK_POINTER_TYPE

static_assert(tiv02000::procedureNames.front() == "StartImpFiscal");
static_assert(tiv02000::procedureNames[tiv02000::hostProcedureCount - 1] == "imprimeTipoRece");
static_assert(tiv02000::procedureNames.back() == "ContadorComprovantesCreditoMFD");
