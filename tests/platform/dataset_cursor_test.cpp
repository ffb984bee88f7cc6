// Structure, cursor moves, editing and field conversions.
#include <gtest/gtest.h>

#include <limits>

#include "dataset_test_util.h"
#include "tivplatform/datetime.h"

namespace {

using tiv::ConversionError;
using tiv::DataError;
using tiv::FieldType;
using tiv::TClientDataSet;
using tiv::Variant;
using tiv::test::walk;

class DataSetCursor : public ::testing::Test {
  protected:
    void SetUp() override {
        ds.addFieldDef("KEY", FieldType::String, 4);
        ds.addFieldDef("NRORG", FieldType::Integer);
        ds.createDataSet();
        for (const char *k : {"A", "B", "C"})
            tiv::test::addRow(ds, {k});
    }
    TClientDataSet ds{"cdsTeste"};
};

TEST_F(DataSetCursor, MovesAndEnds) {
    ds.first();
    EXPECT_TRUE(ds.bof());
    EXPECT_FALSE(ds.eof());
    EXPECT_EQ(ds.recNo(), 1);
    ds.prior();
    EXPECT_TRUE(ds.bof());
    EXPECT_EQ(ds.fieldByName("key").asString(), "A");
    ds.last();
    EXPECT_TRUE(ds.eof());
    EXPECT_EQ(ds.recNo(), 3);
    ds.next(); // past the end the last row stays current
    EXPECT_TRUE(ds.eof());
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "C");
    ds.prior();
    EXPECT_FALSE(ds.eof());
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "B");
}

TEST_F(DataSetCursor, DeleteMovesToTheNextRowOrTheNewLast) {
    ds.first();
    ds.next();
    ds.deleteRecord(); // B
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "C");
    ds.deleteRecord(); // C was last: A becomes current
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "A");
    ds.deleteRecord();
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.eof());
    EXPECT_EQ(ds.recNo(), 0);
    EXPECT_TRUE(ds.fieldByName("KEY").isNull()); // an empty dataset reads null
    EXPECT_THROW(ds.deleteRecord(), DataError);
}

TEST_F(DataSetCursor, InsertGoesBeforeTheCurrentRowAndPostMakesItCurrent) {
    ds.first();
    ds.next(); // B
    ds.insert();
    EXPECT_EQ(ds.state(), TClientDataSet::State::Insert);
    ds.fieldByName("KEY").setAsString("X");
    ds.post();
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "X");
    EXPECT_EQ(ds.recNo(), 2);
    ds.append();
    ds.fieldByName("KEY").setAsString("Z");
    ds.post();
    EXPECT_EQ(ds.recNo(), 5);
    EXPECT_EQ(walk(ds), "A,X,B,C,Z");

    // Cancel drops the new row and returns to the row before it.
    ds.first();
    ds.insert();
    ds.fieldByName("KEY").setAsString("Q");
    ds.cancel();
    EXPECT_EQ(ds.recordCount(), 5);
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "A");

    // Moving away posts a pending change.
    ds.edit();
    ds.fieldByName("KEY").setAsString("A2");
    ds.next();
    EXPECT_EQ(walk(ds), "A2,X,B,C,Z");
}

TEST_F(DataSetCursor, WritesNeedEditOrInsert) {
    ds.first();
    EXPECT_THROW(ds.fieldByName("KEY").setAsString("Q"), DataError);
    EXPECT_THROW(ds.fieldByName("NRORG").setAsInteger(1), DataError);
    EXPECT_THROW(ds.fieldByName("KEY").clear(), DataError);
    ds.edit();
    ds.fieldByName("KEY").setAsString("ABCDEFG"); // cut to the size, 4
    ds.fieldByName("NRORG").setAsInteger(7);
    ds.post();
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "ABCD");
    EXPECT_EQ(ds.fieldByName("NRORG").asInteger(), 7);
    EXPECT_THROW(ds.fieldByName("KEY").setAsString("Q"), DataError); // browse again
    ds.edit();
    ds.fieldByName("KEY").setAsString("W");
    ds.cancel();
    EXPECT_EQ(ds.fieldByName("KEY").asString(), "ABCD");

    ds.emptyDataSet();
    ds.edit(); // editing an empty dataset inserts, as on the host platform
    EXPECT_EQ(ds.state(), TClientDataSet::State::Insert);
    ds.fieldByName("KEY").setAsString("N");
    ds.post();
    EXPECT_EQ(walk(ds), "N");
}

TEST(DataSetStructure, BadDefinitionsAndClosedDatasetsRaise) {
    TClientDataSet ds("cdsX");
    EXPECT_THROW(ds.createDataSet(), DataError); // no fields
    EXPECT_THROW(ds.open(), DataError);
    EXPECT_THROW(ds.first(), DataError);
    ds.addFieldDef("A", FieldType::String, 0);
    EXPECT_THROW(ds.createDataSet(), DataError); // text without a size
    ds.fieldDefs() = {{"A", FieldType::String, 5}, {"a", FieldType::Integer, 0}};
    EXPECT_THROW(ds.createDataSet(), DataError); // names differ only in case
    ds.fieldDefs().pop_back();
    ds.createDataSet();
    EXPECT_THROW(ds.fieldByName("B"), DataError);
    tiv::test::addRow(ds, {"x"});
    ds.close();
    EXPECT_FALSE(ds.active());
    EXPECT_THROW(ds.recordCount(), DataError);
    EXPECT_THROW(ds.fieldByName("A").asString(), DataError);
    ds.open(); // rows survive close
    EXPECT_EQ(walk(ds, "A"), "x");
}

TEST(DataSetField, ConvertsLikeTheHostAndRefusesNonsense) {
    TClientDataSet ds("cdsTipos");
    ds.addFieldDef("S", FieldType::String, 10);
    ds.addFieldDef("I", FieldType::Integer);
    ds.addFieldDef("F", FieldType::Float);
    ds.addFieldDef("B", FieldType::Boolean);
    ds.addFieldDef("D", FieldType::DateTime);
    ds.createDataSet();
    ds.append();
    auto f = [&](const char *n) { return ds.fieldByName(n); };

    f("S").setAsString("1,5");
    EXPECT_DOUBLE_EQ(f("S").asFloat(), 1.5); // texts read with the decimal comma
    f("S").setAsString("");
    EXPECT_TRUE(f("S").isNull()); // an empty text is null
    f("S").setAsBoolean(true);
    EXPECT_EQ(f("S").asString(), "T");
    EXPECT_TRUE(f("S").asBoolean());
    f("S").setAsString("abc");
    EXPECT_THROW(f("S").asInteger(), ConversionError);
    EXPECT_THROW(f("S").asFloat(), ConversionError);
    EXPECT_THROW(f("S").asBoolean(), ConversionError);
    EXPECT_EQ(f("S").asString(), "abc");

    f("I").setAsString("42");
    EXPECT_EQ(f("I").asString(), "42");
    EXPECT_DOUBLE_EQ(f("I").asFloat(), 42.0);
    EXPECT_THROW(f("I").setAsString("4x"), ConversionError);
    EXPECT_EQ(f("I").asInteger(), 42); // a refused write changes nothing
    f("I").setAsFloat(2.5);
    EXPECT_EQ(f("I").asInteger(), 2); // rounds half to even, as the host
    EXPECT_THROW(f("I").asBoolean(), ConversionError);

    f("F").setAsVariant(Variant("1234,5"));
    EXPECT_EQ(f("F").asString(), "1234,5");
    f("F").setAsInteger(3);
    EXPECT_EQ(f("F").asVariant(), Variant(3.0));
    EXPECT_THROW(f("F").setAsFloat(std::numeric_limits<double>::infinity()), ConversionError);

    f("B").setAsString("f");
    EXPECT_FALSE(f("B").asBoolean());
    EXPECT_EQ(f("B").asString(), "False");
    EXPECT_THROW(f("B").setAsString("maybe"), ConversionError);
    EXPECT_THROW(f("B").asFloat(), ConversionError);

    f("D").setAsString("10/12/2026 14:30:00");
    EXPECT_DOUBLE_EQ(f("D").asDateTime(), tiv::encodeDateTime(2026, 12, 10, 14, 30, 0));
    EXPECT_THROW(f("D").setAsFloat(1e12), ConversionError); // no calendar day
    EXPECT_THROW(f("D").setAsVariant(Variant(std::vector<Variant>{1, 2})), ConversionError);
    f("D").clear();
    EXPECT_TRUE(f("D").isNull());
    EXPECT_DOUBLE_EQ(f("D").asDateTime(), 0.0);
    EXPECT_TRUE(f("D").asVariant().isNull());
}

} // namespace
