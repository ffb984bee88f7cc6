// A stand-in for the virtual printer's control calls, for the tests of tiv:
// keeps a journal and a paper roll in memory. The fake module prints on it
// through the one printer entry point it exports.
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tivplatform/export.h"

namespace {
nlohmann::json journal = nlohmann::json::array();
std::vector<std::string> paper;
std::string reply;
std::string lastError = R"({"error":""})";
std::string config;

const char *answer(const nlohmann::json &j) {
    reply = j.dump();
    return reply.c_str();
}
} // namespace

extern "C" {
TIV_EXPORT int32_t EPSON_RelatorioFiscal_LeituraX() {
    journal.push_back({{"entry", "EPSON_RelatorioFiscal_LeituraX"},
                       {"args", nlohmann::json::array()},
                       {"return", 0}});
    paper.push_back("LEITURA X");
    paper.push_back("FIM");
    return 0;
}
TIV_EXPORT int32_t ECFSIM_OpenFolder(const char *) {
    return 0;
}
TIV_EXPORT const char *ECFSIM_Folder() {
    return answer({{"folder", "/fake"}});
}
TIV_EXPORT int32_t ECFSIM_Reset(const char *c) {
    // A config that is not JSON is refused, as the real printer does.
    if (c && *c && nlohmann::json::parse(c, nullptr, false).is_discarded()) return -1;
    if (c && std::string(c) == R"({"fail":true})") {
        lastError = R"({"error":"refused by the test"})";
        return -1;
    }
    config = c ? c : "";
    journal = nlohmann::json::array();
    paper.clear();
    return 0;
}
TIV_EXPORT int32_t ECFSIM_SetClock(const char *) {
    return 0;
}
TIV_EXPORT int32_t ECFSIM_ShiftClock(int64_t) {
    return 0;
}
TIV_EXPORT int32_t ECFSIM_InjectFault(const char *) {
    return 7;
}
TIV_EXPORT int32_t ECFSIM_ClearFaults() {
    return 0;
}
TIV_EXPORT const char *ECFSIM_Journal() {
    return answer(journal);
}
TIV_EXPORT int32_t ECFSIM_ClearJournal() {
    journal = nlohmann::json::array();
    return 0;
}
TIV_EXPORT int64_t ECFSIM_MarkPaper() {
    return static_cast<int64_t>(paper.size());
}
TIV_EXPORT const char *ECFSIM_PaperSince(int64_t mark) {
    nlohmann::json lines = nlohmann::json::array();
    for (size_t i = mark < 0 ? 0 : static_cast<size_t>(mark); i < paper.size(); ++i)
        lines.push_back(paper[i]);
    return answer({{"lines", lines}});
}
TIV_EXPORT const char *ECFSIM_State() {
    return answer({{"config", config}});
}
TIV_EXPORT const char *ECFSIM_LastError() {
    return lastError.c_str();
}
TIV_EXPORT int32_t ECFSIM_SetDrawer(int32_t open) {
    config = open ? "drawer open" : "drawer closed";
    return 0;
}
TIV_EXPORT int32_t ECFSIM_SetCounters(const char *c) {
    config = c ? c : "";
    return 0;
}
TIV_EXPORT int32_t ECFSIM_SetTables(const char *c) {
    config = c ? c : "";
    return 0;
}
TIV_EXPORT int32_t ECFSIM_RecordReduction(const char *c) {
    config = c ? c : "";
    return 0;
}
TIV_EXPORT const char *ECFSIM_FiscalMemory() {
    return answer(nlohmann::json::array({{{"crz", 1}}}));
}
TIV_EXPORT const char *ECFSIM_DetailMemory() {
    return answer(nlohmann::json::array({{{"coo", 7}, {"kind", "CF"}}}));
}
}
