// Every example script under examples/ runs through tiv with the real module
// and the virtual printer, each step succeeding, and its committed
// transcript still shows the printer calls the module makes now.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tiv_process.h"

namespace {

class ExamplesTest : public TivProcessTest {
  protected:
    ExamplesTest() : TivProcessTest("tiv-examples-") {}
};

std::vector<std::filesystem::path> exampleScripts() {
    std::vector<std::filesystem::path> scripts;
    for (const auto &entry : std::filesystem::directory_iterator(TIV_EXAMPLES_DIR)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".json" && name.find(".transcript.") == std::string::npos)
            scripts.push_back(entry.path());
    }
    std::sort(scripts.begin(), scripts.end());
    return scripts;
}

// The entry points each step called, step by step.
std::vector<std::vector<std::string>> entriesByStep(const nlohmann::json &transcript) {
    std::vector<std::vector<std::string>> steps;
    for (const auto &step : transcript.at("steps")) {
        std::vector<std::string> names;
        if (step.contains("journal"))
            for (const auto &call : step.at("journal"))
                names.push_back(call.at("entry"));
        steps.push_back(names);
    }
    return steps;
}

TEST_F(ExamplesTest, EveryExampleRunsAndEveryStepSucceeds) {
    const auto scripts = exampleScripts();
    ASSERT_GE(scripts.size(), 3u);
    for (const auto &script : scripts) {
        SCOPED_TRACE(script.filename().string());
        // Each example on a printer of its own, never the user's.
        const std::string printer = (folder_ / script.stem()).string();
        const ProcessResult run = runCommand(
            tivCommand("run '" + script.string() + "'", (folder_ / "stderr.txt").string(),
                       "ECFSIM_DIR='" + printer + "' ASAN_OPTIONS=detect_leaks=0 "));
        ASSERT_EQ(run.status, 0) << run.out;
        const auto transcript = nlohmann::json::parse(run.out);
        EXPECT_FALSE(transcript.contains("error")) << transcript.at("error").dump();
        for (const auto &step : transcript.at("steps")) {
            SCOPED_TRACE("step " + step.at("step").dump());
            EXPECT_FALSE(step.contains("exception")) << step.at("exception").dump();
            // The till closing answers whether the till opens again, not whether it printed:
            // its examples close the till for the day.
            const bool reopensTill = step.value("call", std::string()) == "GeraReciboSangria";
            if (step.contains("return") && step.at("return").is_boolean()) {
                EXPECT_EQ(step.at("return").get<bool>(), !reopensTill);
            }
        }
        std::filesystem::path saved = script;
        saved.replace_extension(".transcript.json");
        std::ifstream in(saved);
        ASSERT_TRUE(in) << saved << " is missing";
        EXPECT_EQ(entriesByStep(nlohmann::json::parse(in)), entriesByStep(transcript))
            << saved << " no longer shows what the module does: make it again with tiv run";
    }
}

} // namespace
