// The procedure reference: one entry per procedure of the header, in its
// words; docs/procedures.md made from it; every example running as it says;
// and the forms it gives refused at the boundary when a call breaks them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "call_session.h"
#include "procedure_describe.h"
#include "procedure_reference.h"
#include "procedure_table.h"
#include "tiv_process.h"

namespace {

using tivtool::Json;

class ReferenceTest : public TivProcessTest {
  protected:
    ReferenceTest() : TivProcessTest("tiv-reference-") {}

    // Runs a script with tiv run on a printer folder of its own.
    ProcessResult runScript(const Json &script, const std::string &name) {
        const std::filesystem::path path = folder_ / (name + ".json");
        std::ofstream(path) << script.dump();
        return runCommand(tivCommand("run '" + path.string() + "'",
                                     (folder_ / (name + ".err")).string(),
                                     "ECFSIM_DIR='" + (folder_ / (name + "-ecf")).string() +
                                         "' ASAN_OPTIONS=detect_leaks=0 "));
    }
    std::string errors(const std::string &name) {
        std::ifstream in(folder_ / (name + ".err"));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST_F(ReferenceTest, EveryProcedureHasOneEntryInTheHeadersWords) {
    const std::set<std::string> types{"text", "integer", "real", "boolean", "date-time", "any"};
    ASSERT_EQ(tivtool::procedureReference().size(), tivtool::procedureTable().size());
    for (const tivtool::ProcedureEntry &p : tivtool::procedureTable()) {
        SCOPED_TRACE(std::string(p.name));
        const Json *entry = tivtool::referenceEntry(p.name);
        ASSERT_NE(entry, nullptr);
        EXPECT_FALSE(entry->at("summary").get<std::string>().empty());
        std::vector<std::string> declared, documented;
        for (const tivtool::ArgInfo &a : tivtool::parseDeclaredParams(p.declaredParams))
            declared.push_back(a.name);
        for (const auto &[name, param] : entry->at("params").items()) {
            documented.push_back(name);
            EXPECT_FALSE(param.at("meaning").get<std::string>().empty()) << name;
            for (const char *list : {"keys", "positions"})
                for (const Json &one : param.value(list, Json::array()))
                    EXPECT_TRUE(types.count(one.at("type").get<std::string>())) << one.dump();
        }
        EXPECT_EQ(documented, declared);
        EXPECT_EQ(entry->contains("returns"), std::string(p.declaredReturn) != "void");
        EXPECT_EQ(entry->at("example").at("call"), p.name);
    }
}

TEST_F(ReferenceTest, TheProceduresPageIsMadeFromTheReference) {
    std::ifstream in(TIV_DOCS_DIR "/procedures.md");
    std::stringstream page;
    page << in.rdbuf();
    EXPECT_TRUE(page.str() == tivtool::referenceMarkdown())
        << "docs/procedures.md differs from the reference: build/bin/tiv describe --markdown > "
           "docs/procedures.md";
}

// Each example after its own steps, on a printer reset for it, all in one run.
TEST_F(ReferenceTest, EveryExampleReturnsWhatItsEntrySays) {
    Json steps = Json::array();
    std::vector<std::pair<std::string, Json>> expected; // by the example's index in steps
    std::vector<size_t> at;
    for (const Json &entry : tivtool::procedureReference()) {
        steps.push_back(Json{{"ecfsim", "Reset"}});
        for (const Json &s : entry.value("before", Json::array()))
            steps.push_back(s);
        steps.push_back(entry.at("example"));
        at.push_back(steps.size() - 1);
        expected.emplace_back(entry.at("name"), entry.at("expect"));
        // The next entry starts from a driver that was stopped, as a fresh host's is.
        steps.push_back(Json{{"call", "StopImpFiscal"}});
    }
    const ProcessResult run = runScript(steps, "examples");
    const Json transcript = Json::parse(run.out);
    ASSERT_FALSE(transcript.contains("error")) << transcript["error"].dump();
    const Json &done = transcript.at("steps");
    ASSERT_EQ(done.size(), steps.size());
    for (size_t i = 0; i < at.size(); ++i) {
        const auto &[name, expect] = expected[i];
        SCOPED_TRACE(name);
        const Json &step = done.at(at[i]);
        EXPECT_FALSE(step.contains("exception")) << step["exception"].dump();
        EXPECT_EQ(step.value("return", Json()), expect) << step.value("variables", Json()).dump();
    }
}

struct FormCase {
    const char *step;
    const char *message; // what the refusal must say
};

TEST_F(ReferenceTest, ValuesOfTheWrongFormAreRefusedBeforeTheModuleIsCalled) {
    const FormCase cases[] = {
        {R"({"call": "VendaItem", "args": [{"CDARVPROD": "1", "NMPROD": "A", "CDALIQ": "01",
             "QTDE": 1, "VALOR": "12.90"}]})",
         "argument 1 (params): key \"VALOR\": expected a number (JSON number, a dot for "
         "decimals), got \"12.90\""},
        {R"({"call": "VendaItem", "args": [{"CDARVPROD": "1", "NMPROD": "A", "CDALIQ": "01", "QTDE": 1}]})",
         "key \"VALOR\" is required"},
        {R"({"call": "StartImpFiscal", "args": [{"IDTIPOIMPFIS": 33.5}]})",
         "key \"IDTIPOIMPFIS\": expected an integer"},
        {R"({"call": "FechaCupom", "args": [[true], null, {"result": 4}]})",
         "argument 1 (args): position 0"},
        {R"({"call": "FechaCupom", "args": [[], null, {"result": 2}]})",
         "argument 3 (result): expected a result array of at least 4 elements"},
        {R"({"call": "CarregaRecebimento", "args": ["", "001", 0,
             {"fields": [{"name": "CDTIPORECE", "type": "string", "size": 3}], "rows": []}]})",
         "argument 4 (paymentMethods): the dataset lacks the field \"IDTPBUTTON\""},
    };
    for (const FormCase &c : cases) {
        SCOPED_TRACE(c.step);
        const Json script = Json::array({Json::parse(c.step)});
        const ProcessResult run = runScript(script, "form");
        EXPECT_EQ(run.status, 2);
        const Json transcript = Json::parse(run.out);
        EXPECT_EQ(transcript["steps"], Json::array()) << "nothing ran";
        const std::string message = transcript["error"]["message"].get<std::string>();
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
    // The C interface and the service answer through the same session.
    tivtool::CallSession session(Json::object(), TIV_MODULE_PATH);
    const Json answer = session.invoke(Json::parse(cases[0].step));
    EXPECT_EQ(answer["error"]["kind"], "argument") << answer.dump();
    EXPECT_EQ(answer["error"]["argument"], 1);
}

TEST_F(ReferenceTest, DescribePrintsOneProcedureOrNamesThemAll) {
    const ProcessResult one =
        runCommand(tivCommand("describe VendaItem", (folder_ / "err").string()));
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out, tivtool::describeProcedure(*tivtool::referenceEntry("VendaItem")));
    EXPECT_NE(one.out.find("VALOR (real, required)"), std::string::npos) << one.out;
    const ProcessResult all = runCommand(tivCommand("describe", (folder_ / "err").string()));
    EXPECT_EQ(all.status, 0);
    EXPECT_NE(all.out.find("\nFechaCupom: "), std::string::npos);
    const ProcessResult none = runCommand(tivCommand("describe Nada", (folder_ / "err").string()));
    EXPECT_EQ(none.status, 64);
}

} // namespace
