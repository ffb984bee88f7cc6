#pragma once
// One print run again and again, each time with one fault on one of its
// printer calls, for every kind of fault, and judged by what reached the
// paper: the print may answer that it printed everything only when the paper
// shows everything, and paper missing is always named in stMensagemTaa.
#include <cctype>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ecfsim/ecfsim.h"
#include "tiv02000/tiv02000.h"

namespace sweep {

struct Print {
    std::string name;              // the procedure, as stMensagemTaa names it
    std::function<void()> prepare; // a fresh printer, the driver started
    std::function<bool()> run;     // the print; true when it answers that all was printed
};

struct Figures {
    int runs = 0;
    int whole = 0;           // the paper as without the fault
    int missing = 0;         // paper missing, and the print said so
    int falseWithWhole = 0;  // false although the paper is whole (an answer lost)
    int trueWithMissing = 0; // the fault this sweep is for: must stay 0
    int missingUnnamed = 0;  // paper missing, stMensagemTaa silent: must stay 0
};

// The paper since `mark`, digits masked: the printer's own lines (COO, date
// and time) and the driver's "Data Emissão" differ from run to run, the text
// of the print does not.
inline std::vector<std::string> maskedPaper(int64_t mark) {
    std::vector<std::string> lines =
        nlohmann::json::parse(ECFSIM_PaperSince(mark)).at("lines").get<std::vector<std::string>>();
    for (std::string &line : lines)
        for (char &c : line)
            if (std::isdigit(static_cast<unsigned char>(c))) c = '#';
    return lines;
}

inline Figures run(const Print &p) {
    const std::string notice = p.name + ": impress\xE3o incompleta";
    p.prepare();
    ECFSIM_ClearJournal();
    int64_t mark = ECFSIM_MarkPaper();
    stMensagemTaa.clear();
    EXPECT_TRUE(p.run()) << p.name << " without a fault: " << stMensagemTaa;
    const std::vector<std::string> reference = maskedPaper(mark);
    std::vector<std::string> calls;
    for (const auto &call : nlohmann::json::parse(ECFSIM_Journal()))
        calls.push_back(call.at("entry").get<std::string>());
    EXPECT_FALSE(reference.empty());
    Figures f;
    for (const char *kind : {"comm", "noanswer", "paper", "lost", "refuse"}) {
        for (size_t n = 0; n < calls.size(); ++n) {
            int occurrence = 0;
            for (size_t i = 0; i <= n; ++i)
                occurrence += calls[i] == calls[n];
            p.prepare();
            mark = ECFSIM_MarkPaper();
            stMensagemTaa.clear();
            const nlohmann::json fault = {{"kind", kind}, {"entry", calls[n]}, {"at", occurrence}};
            EXPECT_GE(ECFSIM_InjectFault(fault.dump().c_str()), 1) << ECFSIM_LastError();
            const bool claimed = p.run();
            ECFSIM_ClearFaults();
            const bool whole = maskedPaper(mark) == reference;
            const bool named = stMensagemTaa.find(notice) != std::string::npos;
            ++f.runs;
            const std::string where =
                p.name + ", " + kind + " at call " + std::to_string(n + 1) + " (" + calls[n] + ")";
            if (whole) {
                ++f.whole;
                if (!claimed) ++f.falseWithWhole;
            } else {
                ++f.missing;
                if (claimed) {
                    ++f.trueWithMissing;
                    ADD_FAILURE() << where << ": answered whole with paper missing";
                }
                if (!named) {
                    ++f.missingUnnamed;
                    ADD_FAILURE() << where << ": paper missing, stMensagemTaa: " << stMensagemTaa;
                }
            }
        }
    }
    std::cout << "[ sweep    ] " << p.name << ": " << calls.size() << " calls, " << f.runs
              << " runs, " << f.whole << " whole, " << f.missing << " with paper missing (all "
              << (f.trueWithMissing == 0 && f.missingUnnamed == 0 ? "told" : "NOT told") << "), "
              << f.falseWithWhole << " false with the paper whole\n";
    return f;
}

} // namespace sweep
