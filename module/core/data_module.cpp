#include "core/data_module.h"

#include "catalogue.h"
#include "tiv02000/variables.h"

namespace tiv02000 {

TdtmEpson2000::TdtmEpson2000() : msgPadrao(catalogoPadrao()), msgPadrao2(catalogoPadrao2()) {}

tiv::TClientDataSet &TdtmEpson2000::dataset(const std::string &name) {
    auto &slot = datasets_[name];
    if (!slot) slot = std::make_unique<tiv::TClientDataSet>(name);
    return *slot;
}

TdtmEpson2000 &ensureDataModule() {
    if (dtmEpson2000 == nullptr) {
        // Never destroyed: it lives as long as the module is loaded.
        dtmEpson2000 = new TdtmEpson2000();
    }
    return *dtmEpson2000;
}

std::string msg(const std::string &key) {
    return dataModule().msgPadrao.Msg(key);
}
std::string msg2(const std::string &key) {
    return dataModule().msgPadrao2.Msg(key);
}

} // namespace tiv02000
