// The result codes' list is what the printer refuses with and the driver names; docs/printer.md
// shows it to integrators. The two must say the same.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "epson/result_codes.h"
#include "tivplatform/cp1252.h"

namespace {

// The rows of the table under "## Result codes": code -> operator's text.
std::map<std::string, std::string> documentedCodes(const std::string &markdown) {
    std::map<std::string, std::string> rows;
    const std::size_t section = markdown.find("\n## Result codes");
    if (section == std::string::npos) return rows;
    std::istringstream in(markdown.substr(section + 1));
    std::string line;
    std::getline(in, line); // the heading
    bool inTable = false;
    while (std::getline(in, line)) {
        if (line.starts_with("## ")) break;
        if (!line.starts_with("|")) {
            if (inTable) break;
            continue;
        }
        inTable = true;
        const std::size_t first = line.find(" | ", 2);
        const std::size_t second = line.find(" | ", first + 3);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string code = line.substr(2, first - 2);
        if (code == "Code") continue;
        rows.emplace(code, line.substr(first + 3, second - first - 3));
    }
    return rows;
}

std::string hex4(uint16_t code) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(code));
    return text;
}

TEST(ResultCodesTest, DocsShowEveryCodeWithItsOperatorText) {
    std::ifstream file(TIV_DOCS_DIR "/printer.md");
    ASSERT_TRUE(file) << TIV_DOCS_DIR "/printer.md";
    std::stringstream text;
    text << file.rdbuf();
    std::map<std::string, std::string> documented = documentedCodes(text.str());
    ASSERT_FALSE(documented.empty()) << "no result-code table in docs/printer.md";

    for (const epson::ResultCode &r : epson::kResultCodes) {
        const std::string code = hex4(r.code);
        const auto row = documented.find(code);
        if (row == documented.end()) {
            ADD_FAILURE() << code << " (" << r.name << ") is missing from docs/printer.md";
            continue;
        }
        EXPECT_EQ(row->second, tiv::cp1252ToUtf8(r.meaning)) << code;
        documented.erase(row);
    }
    for (const auto &[code, meaning] : documented)
        ADD_FAILURE() << code << " is in docs/printer.md but not in the list";
}

TEST(ResultCodesTest, EachCodeOnceWithATextAndLookedUpByCode) {
    std::set<uint16_t> codes;
    for (const epson::ResultCode &r : epson::kResultCodes) {
        EXPECT_TRUE(codes.insert(r.code).second) << hex4(r.code) << " twice";
        EXPECT_FALSE(r.meaning.empty()) << hex4(r.code);
        EXPECT_EQ(epson::resultMeaning(r.code), r.meaning) << hex4(r.code);
    }
    EXPECT_EQ(epson::resultMeaning(0x0305), "Al\xEDquota n\xE3o programada.");
    EXPECT_TRUE(epson::resultMeaning(0x0A0B).empty());
}

} // namespace
