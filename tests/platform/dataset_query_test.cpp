// Filters, locate and indexes over one small table of cash movements.
#include <gtest/gtest.h>

#include "dataset_test_util.h"
#include "tivplatform/datetime.h"

namespace {

using tiv::DataError;
using tiv::FieldType;
using tiv::LocateOptions;
using tiv::TClientDataSet;
using tiv::Variant;
using tiv::test::walk;

class DataSetQuery : public ::testing::Test {
  protected:
    void SetUp() override {
        ds.addFieldDef("KEY", FieldType::String, 2);
        ds.addFieldDef("CDFILIAL", FieldType::String, 4);
        ds.addFieldDef("CDCAIXA", FieldType::String, 3);
        ds.addFieldDef("IDTIPOMOVIVE", FieldType::String, 1);
        ds.addFieldDef("IDTPBUTTON", FieldType::String, 1);
        ds.addFieldDef("CDFPIMPFIS", FieldType::String, 2);
        ds.addFieldDef("NRORG", FieldType::Integer);
        ds.addFieldDef("VRVALOR", FieldType::Float);
        ds.addFieldDef("ATIVO", FieldType::Boolean);
        ds.addFieldDef("DTMOV", FieldType::DateTime);
        ds.addFieldDef("NMCLIENTE", FieldType::String, 20);
        ds.createDataSet();
        const Variant null;
        const Variant d10 = Variant::dateTime(tiv::encodeDateTime(2026, 12, 10, 14, 30, 0));
        const Variant d09 = Variant::dateTime(tiv::encodeDate(2026, 12, 9));
        using V = std::vector<Variant>;
        // KEY CDFILIAL CDCAIXA IDTIPOMOVIVE IDTPBUTTON CDFPIMPFIS NRORG VRVALOR ATIVO DTMOV NM
        tiv::test::addRow(ds,
                          V{"1", "0001", "001", "A", "5", "01", 3, 10.5, true, d10, "D'\xC1vila"});
        tiv::test::addRow(ds, V{"2", "0001", "002", "A", "5", " ", 1, 2.0, false, d09, "Bruno"});
        tiv::test::addRow(ds, V{"3", "0002", "001", "B", "1", null, 3, -1.0, true, null, null});
        tiv::test::addRow(ds, V{"4", "0001", "001", "A", "1", "02", null, null, null, null, "Ana"});
        tiv::test::addRow(
            ds, V{"5", "0001", "001", "a", "5", "03", 10, 100.0, false, null, "d'\xE1vila"});
    }
    TClientDataSet ds{"cdsMovimento"};
};

TEST_F(DataSetQuery, FilterKeepsOnlyMatchingRowsForCountsAndMoves) {
    const struct {
        const char *expr;
        const char *keys;
    } cases[] = {
        {"IDTPBUTTON = '5'", "1,2,5"},
        // A blank or null text is blank: "<> ' '" keeps rows with a value.
        {"CDFPIMPFIS <> ' '", "1,4,5"},
        {"CDFPIMPFIS = ' '", "2,3"},
        {"CDFPIMPFIS = ''", "2,3"},
        {"IDTIPOMOVIVE = 'A' AND CDFILIAL = '0001' AND CDCAIXA = '001'", "1,4"},
        {"idtipomovive = 'a'", "5"}, // field names ignore case, values do not
        {"NRORG = 3", "1,3"},
        {"NRORG = '3'", "1,3"},
        {"NRORG <> 3", "2,5"},  // a null number meets no comparison
        {"NRORG > 2", "1,3,5"}, // numbers compare as numbers: 10 > 2
        {"NRORG >= 3 AND NRORG <= 3", "1,3"},
        {"NRORG < 3", "2"},
        {"VRVALOR < 0", "3"},
        {"VRVALOR >= 10.5", "1,5"},
        {"VRVALOR = -1", "3"},
        {"CDFILIAL > '0001'", "3"},
        {"IDTPBUTTON = '5' OR NRORG = 3", "1,2,3,5"},
        {"(IDTPBUTTON = '1' OR NRORG = 1) AND CDFILIAL = '0001'", "2,4"},
        {"IDTPBUTTON = '1' OR NRORG = 1 AND CDFILIAL = '0002'", "3,4"}, // AND binds first
        {"NOT IDTPBUTTON = '5'", "3,4"},
        {"NRORG IS NULL", "4"},
        {"NMCLIENTE IS NOT NULL AND VRVALOR > 1", "1,2,5"},
        {"ATIVO = TRUE", "1,3"},
        {"DTMOV >= '10/12/2026'", "1"},
        {"NMCLIENTE = 'D''\xC1vila'", "1"},
        {"[CDCAIXA] = '002'", "2"},
        {"CDFILIAL = '9999'", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expr);
        ds.setFilter(c.expr);
        ds.setFiltered(true);
        EXPECT_EQ(walk(ds), c.keys);
        const int n = c.keys[0] ? static_cast<int>(std::string(c.keys).size() + 1) / 2 : 0;
        EXPECT_EQ(ds.recordCount(), n);
        EXPECT_EQ(ds.isEmpty(), n == 0);
        ds.setFiltered(false);
        EXPECT_EQ(ds.recordCount(), 5);
    }
}

TEST_F(DataSetQuery, MalformedFilterRaisesNamingItAndKeepsThePreviousOne) {
    ds.setFilter("IDTPBUTTON = '5'");
    ds.setFiltered(true);
    const char *bad[] = {
        "IDTPBUTTON = ", "IDTPBUTTON '5'", "IDTPBUTTON = '5", "NOSUCH = '1'", "CDFILIAL = 1",
        "NRORG = 'abc'", "(NRORG = 3",     "NRORG = 3 AND",   "NRORG = 3)",   "NRORG # 3",
        "AND NRORG = 3", "ATIVO = 'x'",    "NRORG = 3 NRORG", "[NRORG = 3",
    };
    for (const char *expr : bad) {
        SCOPED_TRACE(expr);
        try {
            ds.setFilter(expr);
            ADD_FAILURE() << "accepted";
        } catch (const DataError &e) {
            EXPECT_NE(std::string(e.what()).find(expr), std::string::npos) << e.what();
        }
        EXPECT_EQ(ds.filter(), "IDTPBUTTON = '5'");
        EXPECT_EQ(walk(ds), "1,2,5");
    }
    // Set while filtering is off, the fault shows when filtering starts.
    ds.setFiltered(false);
    ds.setFilter("NRORG = ");
    EXPECT_THROW(ds.setFiltered(true), DataError);
    EXPECT_FALSE(ds.filtered());
    EXPECT_EQ(ds.recordCount(), 5);
}

TEST_F(DataSetQuery, PostedRowsJoinOrLeaveTheFilteredView) {
    ds.setFilter("IDTPBUTTON = '5'");
    ds.setFiltered(true);
    ds.first(); // row 1
    ds.edit();
    ds.fieldByName("IDTPBUTTON").setAsString("1");
    ds.post();
    EXPECT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "2"); // the next row is current
    ds.append();
    ds.fieldByName("KEY").setAsString("6");
    ds.fieldByName("IDTPBUTTON").setAsString("5");
    ds.post();
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "6");
    EXPECT_EQ(walk(ds), "2,5,6");
}

TEST_F(DataSetQuery, LocateFindsTheFirstMatchInTheCurrentOrder) {
    const Variant null = Variant::null();
    const struct {
        const char *fields;
        Variant values;
        LocateOptions options;
        const char *key; // "" when nothing matches
    } cases[] = {
        {"CDFILIAL", "0002", {}, "3"},
        {"CDFILIAL;IDTIPOMOVIVE", Variant(std::vector<Variant>{"0001", "a"}), {}, "5"},
        {"cdfilial ; idtipomovive", Variant(std::vector<Variant>{"0001", "a"}), {true, false}, "1"},
        {"IDTIPOMOVIVE", "b", {}, ""},
        {"IDTIPOMOVIVE", "b", {true, false}, "3"},
        {"NMCLIENTE", "d'\xE1vila", {}, "5"},
        {"NMCLIENTE", "d'\xE1VILA", {true, false}, "1"}, // accented letters fold too
        {"NMCLIENTE", "Br", {}, ""},
        {"NMCLIENTE", "Br", {false, true}, "2"},
        {"NMCLIENTE", "br", {true, true}, "2"},
        {"CDFPIMPFIS", " ", {}, "2"}, // blank finds blank or null
        {"NRORG", 3, {}, "1"},
        {"NRORG", "10", {}, "5"},
        {"NRORG", null, {}, "4"},
        {"VRVALOR", 2.0, {}, "2"},
        {"VRVALOR;NRORG", Variant(std::vector<Variant>{-1.0, 3}), {}, "3"},
        {"ATIVO;CDCAIXA", Variant(std::vector<Variant>{false, "001"}), {}, "5"},
        {"CDFILIAL", "9999", {}, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fields);
        ds.last();
        const bool found = ds.locate(c.fields, c.values, c.options);
        EXPECT_EQ(found, c.key[0] != 0);
        // Not found leaves the cursor where it was (the last row).
        EXPECT_EQ(ds.fieldByName("KEY").asString(), found ? c.key : "5");
    }

    ds.addIndex("idxValor", "VRVALOR");
    ds.setIndexName("idxValor");
    ASSERT_TRUE(ds.locate("CDFILIAL", "0001"));
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "4"); // null value sorts first

    ds.setFilter("IDTPBUTTON = '5'");
    ds.setFiltered(true);
    EXPECT_FALSE(ds.locate("KEY", "3")); // hidden by the filter

    EXPECT_THROW(ds.locate("NOSUCH", "1"), DataError);
    EXPECT_THROW(ds.locate("KEY;NRORG", "1"), DataError);
    EXPECT_THROW(ds.locate("NRORG", "abc"), tiv::ConversionError);
}

TEST(DataSetIndex, OrdersByFieldTypeAndKeepsTiesInInsertionOrder) {
    TClientDataSet ds("cdsAliqImpFis");
    ds.addFieldDef("KEY", FieldType::String, 2);
    ds.addFieldDef("IDTPIMPOSFIS", FieldType::String, 1);
    ds.addFieldDef("VRPEALIMPFIS", FieldType::Float);
    ds.createDataSet();
    using V = std::vector<Variant>;
    for (const V &row : {V{"a", "T", 18.0}, V{"b", "F", 0.0}, V{"c", "T", 7.0}, V{"d", "T", 18.0},
                         V{"e", "I", 0.0}, V{"f", "T", 12.5}, V{"g", "T", 100.0}})
        tiv::test::addRow(ds, row);

    ds.addIndex("idxTributacao", "IDTPIMPOSFIS;VRPEALIMPFIS");
    ds.addIndex("idxDesc", "VRPEALIMPFIS", true);
    ds.first();
    ds.next(); // "b" stays current across the switch
    ds.setIndexName("IDXTRIBUTACAO");
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "b");
    EXPECT_EQ(walk(ds), "b,e,c,f,a,d,g");

    tiv::test::addRow(ds, V{"h", "T", 18.0}); // goes after its equals
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "h");
    EXPECT_EQ(ds.recNo(), 7);
    ds.first();
    ds.edit(); // "b" moves from the head to among the "T" rows
    ds.fieldByName("IDTPIMPOSFIS").setAsString("T");
    ds.fieldByName("VRPEALIMPFIS").setAsFloat(50);
    ds.post();
    EXPECT_EQ(walk(ds), "e,c,f,a,d,h,b,g");
    // A change that leaves the key alone keeps the row in place.
    ASSERT_TRUE(ds.locate("KEY", "a"));
    ds.edit();
    ds.fieldByName("KEY").setAsString("A");
    ds.post();
    EXPECT_EQ(walk(ds), "e,c,f,A,d,h,b,g");

    ds.setIndexName("idxDesc");
    EXPECT_EQ(walk(ds), "g,b,A,d,h,f,c,e");
    ds.setIndexName("");
    EXPECT_EQ(walk(ds), "A,b,c,d,e,f,g,h");

    EXPECT_THROW(ds.setIndexName("idxNone"), DataError);
    EXPECT_THROW(ds.addIndex("idxBad", "IDTPIMPOSFIS;NOSUCH"), DataError);
    EXPECT_THROW(ds.addIndex("idxTributacao", "KEY"), DataError);
    EXPECT_EQ(ds.indexName(), "");
}

} // namespace
