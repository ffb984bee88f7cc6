#pragma once
// A fresh virtual printer, program folder and registry for every test, the
// operator's dialogs captured and answered from a queue.
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "../common/printer_folder.h"
#include "ecfsim/ecfsim.h"
#include "tiv02000/tiv02000.h"
#include "tivhost/host.h"
#include "tivplatform/params.h"

struct ShownDialog {
    std::string text; // CP1252 bytes
    std::string askMark;
    int kind = 0;
};

class DriverTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // StartImpFiscal with the host's usual start parameters.
    bool start(int printerType, bool selfService = false);
    static tiv::Variant startParams(int printerType, bool selfService = false);

    // The printer's journal since the last clear.
    nlohmann::json journal() const;
    std::vector<std::string> journalEntries() const;
    void clearJournal() const { ECFSIM_ClearJournal(); }
    // Lines of this month's debug log.
    std::vector<std::string> logLines() const;
    // The same lines without their date-and-time prefix.
    std::vector<std::string> logTexts() const;
    nlohmann::json printerState() const;
    void injectFault(const nlohmann::json &fault) const;
    void resetPrinter(const nlohmann::json &config = nlohmann::json::object()) const;
    std::vector<std::string> paperSince(int64_t mark) const;

    const PrinterFolder ownFolder{"tiv-driver"};
    std::string folder = ownFolder.path; // the test's own folder
    std::string programDir;              // TIV_PROGRAM_DIR
    std::vector<ShownDialog> dialogs;
    std::deque<bool> answers; // operator answers; none queued answers no
};
