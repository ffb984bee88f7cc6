#include "host_procedures.h"

#include "tiv02000/procedures.h"
#include "tivhost/host.h"

namespace tivtool {

struct HostProcedures::Saved {
    tivhost::AtuTotGeralProc atu;
    tivhost::DataMoviFiscalProc date;
};

HostProcedures::HostProcedures(const Module &module, bool atuTotGeral, bool dataMoviFiscal)
    : saved_(new Saved{tivhost::Atu_TotGeral(), tivhost::DataMoviFiscal()}) {
    auto atu = reinterpret_cast<tiv02000::fn::Atu_TotGeral>(
        atuTotGeral ? module.symbol("Atu_TotGeral") : nullptr);
    auto date = reinterpret_cast<tiv02000::fn::DataMoviFiscal>(
        dataMoviFiscal ? module.symbol("DataMoviFiscal") : nullptr);
    atuSet_ = atu != nullptr;
    dateSet_ = date != nullptr;
    tivhost::Atu_TotGeral() = nullptr;
    tivhost::DataMoviFiscal() = nullptr;
    if (atu) {
        tivhost::Atu_TotGeral() = [this, atu](const tiv::ParamArray &params) {
            Json call{{"procedure", "Atu_TotGeral"}, {"args", Json::array({paramsToJson(params)})}};
            const bool done = atu(params);
            call["return"] = done;
            if (calls_ && *calls_) (*calls_)->push_back(std::move(call));
            return done;
        };
    }
    if (date) {
        tivhost::DataMoviFiscal() = [this, date](const std::string &colourScheme) {
            Json call{{"procedure", "DataMoviFiscal"},
                      {"args", Json::array({textToJson(colourScheme)})}};
            const tiv::TDateTime when = date(colourScheme);
            call["return"] = dateTimeToJson(when);
            if (calls_ && *calls_) (*calls_)->push_back(std::move(call));
            return when;
        };
    }
}

HostProcedures::~HostProcedures() {
    tivhost::Atu_TotGeral() = saved_->atu;
    tivhost::DataMoviFiscal() = saved_->date;
    delete saved_;
}

Json HostProcedures::settings() const {
    return {{"Atu_TotGeral", atuSet_}, {"DataMoviFiscal", dateSet_}};
}

} // namespace tivtool
