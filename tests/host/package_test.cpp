#include <gtest/gtest.h>

#include "tivhost/host.h"

using namespace tivhost;

TEST(HostPackage, ProcedureVariablesStartUnsetAndKeepWhatTheHostSets) {
    // Unset is how the driver knows to skip the reconciliation and to use
    // its own fiscal date.
    EXPECT_FALSE(Atu_TotGeral());
    EXPECT_FALSE(DataMoviFiscal());

    tiv::ParamArray seen;
    Atu_TotGeral() = [&](const tiv::ParamArray &p) {
        seen = p;
        return true;
    };
    DataMoviFiscal() = [](const std::string &scheme) { return scheme == "001" ? 46361.0 : 0.0; };
    tiv::ParamArray params = tiv::makeParams({{"IDVALIDA", tiv::Variant("N")}});
    EXPECT_TRUE(Atu_TotGeral()(params));
    EXPECT_EQ(seen, params);
    EXPECT_EQ(DataMoviFiscal()("001"), 46361.0);

    Atu_TotGeral() = nullptr;
    DataMoviFiscal() = nullptr;
    EXPECT_FALSE(Atu_TotGeral());
    EXPECT_FALSE(DataMoviFiscal());
}
