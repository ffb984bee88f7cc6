#pragma once
#include <map>
#include <memory>
#include <string>

#include "tivhost/host.h"
#include "tivplatform/dataset.h"

namespace tiv02000 {

// The driver's data module: the two message catalogues and the in-memory
// datasets. Created once, on first use, and kept until the module unloads.
class TdtmEpson2000 {
  public:
    TdtmEpson2000();

    tivhost::TMessages msgPadrao;
    tivhost::TMessages msgPadrao2;

    // A dataset of the data module by its name ("cdsReceb", ...); made empty,
    // without fields, on first request. Each procedure defines its fields.
    tiv::TClientDataSet &dataset(const std::string &name);

  private:
    std::map<std::string, std::unique_ptr<tiv::TClientDataSet>> datasets_;
};

// Creates the data module when `dtmEpson2000` is still empty; never twice.
TdtmEpson2000 &ensureDataModule();
// The data module for procedures that expect it to exist; they create it
// too rather than fail, so a host calling out of order still works.
inline TdtmEpson2000 &dataModule() {
    return ensureDataModule();
}

// Catalogue texts.
std::string msg(const std::string &key);  // msgPadrao
std::string msg2(const std::string &key); // msgPadrao2

} // namespace tiv02000
