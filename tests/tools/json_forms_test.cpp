#include "json_forms.h"

#include <gtest/gtest.h>

#include "procedure_table.h"
#include "tivplatform/params.h"

namespace {

using tivtool::Json;
using tivtool::ShapeError;

struct VariantCase {
    const char *json;
    tiv::Variant expected;
    const char *back; // the transcript form; nullptr when it is the input itself
};

TEST(JsonForms, VariantsTakeTheFormTheHostGives) {
    const VariantCase cases[] = {
        {"null", tiv::Variant(), nullptr},
        {"true", tiv::Variant(true), nullptr},
        {"-5", tiv::Variant(int64_t{-5}), nullptr},
        {"2.5", tiv::Variant(2.5), nullptr},
        {"\"comunica\\u00e7\\u00e3o\"", tiv::Variant("comunica\xE7\xE3o"), nullptr},
        {R"({"datetime": "2026-12-10 14:30:00"})",
         tiv::Variant::dateTime(tiv::encodeDateTime(2026, 12, 10, 14, 30, 0)), nullptr},
        {R"({"ZETA": "01", "ALFA": 31})", tiv::makeParams({{"ZETA", "01"}, {"ALFA", 31}}),
         R"([["ZETA","01"],["ALFA",31]])"},
        {R"([["B", 1], ["A", "x"]])", tiv::makeParams({{"B", 1}, {"A", "x"}}), nullptr},
        {R"([1, "x", null, [true]])",
         tiv::Variant(std::vector<tiv::Variant>{
             tiv::Variant(1), tiv::Variant("x"), tiv::Variant(),
             tiv::Variant(std::vector<tiv::Variant>{tiv::Variant(true)})}),
         nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.json);
        const Json in = Json::parse(c.json);
        const tiv::Variant v = tivtool::variantFromJson(in);
        EXPECT_EQ(v, c.expected) << v.describe();
        EXPECT_EQ(tivtool::variantToJson(v), c.back ? Json::parse(c.back) : in);
    }
}

TEST(JsonForms, ParameterArraysComeBackAsObjectsInTheirOrder) {
    const auto params = tiv::makeParams({{"SERIEIMP", "EP01"}, {"ECFIMP", "001"}});
    EXPECT_EQ(tivtool::paramsToJson(params).dump(), R"({"SERIEIMP":"EP01","ECFIMP":"001"})");
    // Two pairs of one name cannot be an object: the pairs are shown.
    const auto twice = tiv::makeParams({{"A", 1}, {"A", 2}});
    EXPECT_EQ(tivtool::paramsToJson(twice), Json::parse(R"([["A",1],["A",2]])"));
}

TEST(JsonForms, DataPacketsInAVariantAreTheirXmlText) {
    const tiv::Variant v = tivtool::variantFromJson(
        Json::parse(R"({"fields": [{"name": "NM", "type": "string", "size": 10}],
                        "rows": [["Jo\u00e3o"]]})"));
    ASSERT_EQ(v.kind(), tiv::Variant::Kind::Text);
    tiv::TClientDataSet ds;
    ds.setData(v);
    ds.first();
    EXPECT_EQ(ds.fieldByName("NM").asString(), "Jo\xE3o");
}

TEST(JsonForms, DateTimesToTheSecond) {
    struct Case {
        const char *text;
        const char *shown; // nullptr: refused
    };
    const Case cases[] = {
        {"2026-12-10 14:30:59", "2026-12-10 14:30:59"},
        {"2026-12-10 14:30", "2026-12-10 14:30:00"},
        {"2026-12-10", "2026-12-10 00:00:00"},
        {"2024-02-29 23:59:59", "2024-02-29 23:59:59"},
        {"2026-02-29", nullptr},
        {"2026-13-01", nullptr},
        {"2026-12-10 24:00:00", nullptr},
        {"2026-12-10 14:60", nullptr},
        {"10/12/2026", nullptr},
        {"2026-12-10T14:30:00", nullptr},
        {"2026-12-10 14:30:00 ", nullptr},
        {"", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        if (c.shown) {
            EXPECT_EQ(tivtool::formatDateTimeText(tivtool::parseDateTimeText(c.text)), c.shown);
        } else {
            EXPECT_THROW(tivtool::parseDateTimeText(c.text), ShapeError);
        }
    }
}

TEST(JsonForms, DatasetsRoundTripWithEveryFieldType) {
    const Json in = Json::parse(R"({
      "fields": [{"name": "CD", "type": "string", "size": 4},
                 {"name": "QT", "type": "integer"},
                 {"name": "VR", "type": "float"},
                 {"name": "ID", "type": "boolean"},
                 {"name": "DT", "type": "datetime"}],
      "rows": [["a\u00e7", 2, 1.5, true, {"datetime": "2026-12-10 08:00:00"}],
               {"CD": "b", "VR": 3.25},
               [null, null, null, null, null]]})");
    auto ds = tivtool::datasetFromJson(in);
    ASSERT_EQ(ds->recordCount(), 3);
    ds->first();
    EXPECT_EQ(ds->fieldByName("CD").asString(), "a\xE7");
    Json expected = in;
    expected["rows"][1] = Json::parse(R"(["b", null, 3.25, null, null])");
    EXPECT_EQ(tivtool::datasetToJson(*ds), expected);
}

TEST(JsonForms, BadShapesSayWhatWasExpected) {
    struct Case {
        const char *json;
        const char *fragment;
    };
    const char *fields =
        R"("fields": [{"name": "CD", "type": "string", "size": 4}, {"name": "QT", "type": "integer"}])";
    const std::string rows[] = {
        std::string("{") + fields + R"(, "rows": [["a"]]})",
        std::string("{") + fields + R"(, "rows": [{"XX": 1}]})",
        std::string("{") + fields + R"(, "rows": [["a", "2"]]})",
        std::string("{") + fields + R"(, "rows": [["a", 2.5]]})",
        std::string("{") + fields + R"(, "rows": ["a"]})",
        R"({"fields": [{"name": "A", "type": "money"}], "rows": []})",
        R"({"fields": [{"name": "A"}, {"name": "A"}], "rows": []})",
        R"({"fields": [{"name": "A", "width": 3}], "rows": []})",
        R"({"fields": [], "rows": [], "extra": 1})",
    };
    const char *fragments[] = {
        "a row of 1 values for 2 fields",
        "names no field \"XX\"",
        "field QT: an integer",
        "field QT: an integer",
        "a row (array",
        "a field type",
        "distinct",
        "unknown member \"width\"",
        "expected a dataset",
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i]);
        try {
            tivtool::datasetFromJson(Json::parse(rows[i]));
            ADD_FAILURE() << "accepted";
        } catch (const ShapeError &e) {
            EXPECT_NE(std::string(e.what()).find(fragments[i]), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(tivtool::stringListFromJson(Json::parse(R"(["a", 1])")), ShapeError);
    EXPECT_THROW(tivtool::textFromJson(Json(5)), ShapeError);
}

TEST(JsonForms, WideTextsAreCodePoints) {
    EXPECT_EQ(tivtool::wideFromJson(Json("a\xC3\xA7\xE2\x82\xAC\xF0\x9F\x98\x80")),
              (std::wstring{L'a', wchar_t(0xE7), wchar_t(0x20AC), wchar_t(0x1F600)}));
    EXPECT_THROW(tivtool::wideFromJson(Json(std::string("\xC3"))), ShapeError);
}

TEST(ProcedureTable, DeclaredParametersGiveNamesAndDateTimes) {
    const auto infos = tivtool::parseDeclaredParams(
        "(const std::string& colourScheme, tiv::TDateTime& movementDate, double amount)");
    ASSERT_EQ(infos.size(), 3u);
    EXPECT_EQ(infos[0].name, "colourScheme");
    EXPECT_EQ(infos[0].declared, "const std::string&");
    EXPECT_EQ(infos[1].name, "movementDate");
    EXPECT_TRUE(infos[1].dateTime);
    EXPECT_FALSE(infos[2].dateTime);
    EXPECT_TRUE(tivtool::parseDeclaredParams("()").empty());
    // Every procedure's declared list has as many names as its type has parameters.
    for (const auto &e : tivtool::procedureTable())
        EXPECT_EQ(tivtool::parseDeclaredParams(e.declaredParams).size(), e.arity) << e.name;
    EXPECT_TRUE(tivtool::returnsDateTime(*tivtool::findProcedure("DataMoviFiscal")));
    EXPECT_FALSE(tivtool::returnsDateTime(*tivtool::findProcedure("GetValue")));
}

} // namespace
