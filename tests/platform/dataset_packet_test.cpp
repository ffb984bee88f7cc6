// XML data packets, ".cds" files and copying between datasets.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "dataset_test_util.h"
#include "tivplatform/datetime.h"
#include "tivplatform/system.h"

namespace {

namespace fs = std::filesystem;
using tiv::DataError;
using tiv::FieldType;
using tiv::TClientDataSet;
using tiv::Variant;
using tiv::test::walk;

// Every field of every row as "NAME=value" (null shown as "NAME~").
std::string dump(TClientDataSet &ds) {
    std::string out;
    for (ds.first(); !ds.eof(); ds.next()) {
        for (const tiv::FieldDef &d : ds.fieldDefs()) {
            tiv::TField f = ds.fieldByName(d.name);
            out += f.isNull() ? d.name + "~ " : d.name + "=" + f.asVariant().toString() + " ";
        }
        out += "\n";
    }
    return out;
}

fs::path scratch(const std::string &name) {
    const fs::path dir =
        fs::temp_directory_path() / ("tiv_dataset_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

class DataSetPacket : public ::testing::Test {
  protected:
    void SetUp() override {
        ds.addFieldDef("NMPRODUTO", FieldType::String, 20);
        ds.addFieldDef("QTITENS", FieldType::Integer);
        ds.addFieldDef("VRPRECO", FieldType::Float);
        ds.addFieldDef("IDATIVO", FieldType::Boolean);
        ds.addFieldDef("DTHRINCMOV", FieldType::DateTime);
        ds.createDataSet();
        using V = std::vector<Variant>;
        tiv::test::addRow(ds,
                          V{"A\xE7\xFA"
                            "car",
                            2, 4.35, true,
                            Variant::dateTime(tiv::encodeDateTime(2026, 12, 10, 14, 30, 0, 125))});
        tiv::test::addRow(ds, V{"<&\"'>\ttab\nline", int64_t{5000000000}, -0.1, false,
                                Variant::dateTime(tiv::encodeDate(1899, 12, 30))});
        tiv::test::addRow(ds, V{}); // all null
    }
    TClientDataSet ds{"cdsProdutos"};
};

TEST_F(DataSetPacket, WritesTheHostFormat) {
    TClientDataSet small("cdsFilial");
    small.addFieldDef("CDFILIAL", FieldType::String, 4);
    small.addFieldDef("NRORG", FieldType::Integer);
    small.createDataSet();
    tiv::test::addRow(small, {"0001", 3});
    tiv::test::addRow(small, {Variant(), Variant()});
    EXPECT_EQ(small.dataPacket(),
              "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\"><METADATA>"
              "<FIELDS><FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\"/>"
              "<FIELD attrname=\"NRORG\" fieldtype=\"i4\"/></FIELDS><PARAMS/></METADATA>"
              "<ROWDATA><ROW CDFILIAL=\"0001\" NRORG=\"3\"/><ROW/></ROWDATA></DATAPACKET>");

    const std::string xml = ds.dataPacket();
    for (const char *part :
         {"NMPRODUTO=\"A\xC3\xA7\xC3\xBA"
          "car\"", // UTF-8 in the file
          "fieldtype=\"i8\"", "fieldtype=\"r8\"", "fieldtype=\"boolean\"", "fieldtype=\"dateTime\"",
          "DTHRINCMOV=\"20261210T14:30:00125\"", "IDATIVO=\"TRUE\"", "VRPRECO=\"-0.1\""})
        EXPECT_NE(xml.find(part), std::string::npos) << part;
}

TEST_F(DataSetPacket, RoundTripKeepsEveryValueAndNull) {
    ds.setFilter("QTITENS = 2"); // a filter hides nothing from the packet
    ds.setFiltered(true);
    TClientDataSet back("cdsCopia");
    back.setData(ds.data());
    ds.setFiltered(false);
    EXPECT_EQ(back.fieldDefs().size(), 5u);
    EXPECT_EQ(back.fieldByName("NMPRODUTO").size(), 20);
    EXPECT_EQ(back.fieldByName("QTITENS").type(), FieldType::Integer);
    EXPECT_EQ(dump(back), dump(ds));
    back.first();
    EXPECT_EQ(back.fieldByName("NMPRODUTO").asString(), "A\xE7\xFA"
                                                        "car"); // CP1252 again
    EXPECT_DOUBLE_EQ(back.fieldByName("DTHRINCMOV").asDateTime(),
                     tiv::encodeDateTime(2026, 12, 10, 14, 30, 0, 125));
    back.next();
    EXPECT_EQ(back.fieldByName("NMPRODUTO").asString(), "<&\"'>\ttab\nline");
    EXPECT_EQ(back.fieldByName("QTITENS").asInteger(), 5000000000);
}

TEST(DataSetPacketText, BytesWithoutACharacterSurviveASaveAndALoad) {
    // Windows-1252 leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D undefined; a packet
    // carries them as the control characters of the same number.
    const std::string text = "a\x81\x8D\x8F\x90\x9D\xE7\x80z";
    TClientDataSet out("cdsTexto");
    out.addFieldDef("TX", FieldType::String, 20);
    out.createDataSet();
    tiv::test::addRow(out, {Variant(text)});
    const std::string packet = out.dataPacket();
    EXPECT_NE(packet.find("TX=\"a\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\xC3\xA7\xE2\x82\xACz\""),
              std::string::npos)
        << packet;
    TClientDataSet in("cdsLido");
    in.setDataPacket(packet);
    in.first();
    EXPECT_EQ(in.fieldByName("TX").asString(), text);
    EXPECT_EQ(in.dataPacket(), packet);

    // From another tool, as a character reference; other characters the code
    // page lacks still read as "?".
    in.setDataPacket("<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"TX\" "
                     "fieldtype=\"string\" WIDTH=\"9\"/></FIELDS><PARAMS/></METADATA><ROWDATA>"
                     "<ROW TX=\"&#x81;&#x9D;&#x85;&#x4E2D;\"/></ROWDATA></DATAPACKET>");
    in.first();
    EXPECT_EQ(in.fieldByName("TX").asString(), "\x81\x9D??");
}

TEST(DataSetPacketText, FieldNamesThatCannotBeTheirAttributeTravelApart) {
    // "RowState" is the row's own attribute, and "DS OBS" would take the
    // attribute F2 that the third field has by name.
    TClientDataSet out("cdsNomes");
    for (const char *name : {"RowState", "DS OBS", "F2"})
        out.addFieldDef(name, FieldType::String, 10);
    out.createDataSet();
    tiv::test::addRow(out, {Variant("estado"), Variant("obs"), Variant("f2")});
    const std::string packet = out.dataPacket();
    for (const char *part : {"<FIELD fieldname=\"RowState\" attrname=\"F1\"",
                             "<FIELD fieldname=\"DS OBS\" attrname=\"F3\"",
                             "<FIELD attrname=\"F2\"", "<ROW F1=\"estado\" F3=\"obs\" F2=\"f2\"/>"})
        EXPECT_NE(packet.find(part), std::string::npos) << part << "\n" << packet;
    TClientDataSet in("cdsLido");
    in.setDataPacket(packet);
    in.first();
    EXPECT_EQ(in.fieldByName("RowState").asString(), "estado");
    EXPECT_EQ(in.fieldByName("DS OBS").asString(), "obs");
    EXPECT_EQ(in.fieldByName("F2").asString(), "f2");
    EXPECT_EQ(in.dataPacket(), packet);
}

TEST(DataSetFile, LoadsAPacketWrittenByAnotherTool) {
    TClientDataSet ds("cdsOutro");
    ds.loadFromFile(TIV_TEST_DATA_DIR "/other_tool.cds");
    ASSERT_EQ(ds.fieldDefs().size(), 9u);
    EXPECT_EQ(ds.fieldByName("CDFILIAL").size(), 4);
    EXPECT_EQ(ds.fieldByName("VRPRECO").type(), FieldType::Float);
    EXPECT_EQ(ds.fieldByName("DS OBS").size(), 10); // "fieldname" names the field
    // The deleted row is gone; the modified row replaces its original and
    // keeps what it did not change.
    EXPECT_EQ(walk(ds, "NMPRODUTO"), "A\xE7\xFA"
                                     "car,Caf\xE9,P\xE3o");
    ds.first();
    EXPECT_EQ(ds.fieldByName("CDFILIAL").asString(), "0001");
    EXPECT_DOUBLE_EQ(ds.fieldByName("VRPRECO").asFloat(), 4.35);
    EXPECT_TRUE(ds.fieldByName("IDATIVO").asBoolean());
    EXPECT_DOUBLE_EQ(ds.fieldByName("DTHRINCMOV").asDateTime(),
                     tiv::encodeDateTime(2026, 12, 10, 14, 30, 0));
    EXPECT_DOUBLE_EQ(ds.fieldByName("DTMOVI").asDateTime(), tiv::encodeDate(2026, 12, 10));
    EXPECT_DOUBLE_EQ(ds.fieldByName("HRMOVI").asDateTime(), tiv::encodeTime(8, 15, 30));
    EXPECT_EQ(ds.fieldByName("DS OBS").asString(), "a & b");
    ds.next();
    EXPECT_EQ(ds.fieldByName("QTITENS").asInteger(), 1);
    EXPECT_DOUBLE_EQ(ds.fieldByName("VRPRECO").asFloat(), 12.5);
    EXPECT_FALSE(ds.fieldByName("IDATIVO").asBoolean());
    EXPECT_FALSE(ds.fieldByName("IDATIVO").isNull());
    ds.next();
    EXPECT_EQ(ds.fieldByName("QTITENS").asInteger(), -3);
    EXPECT_TRUE(ds.fieldByName("CDFILIAL").isNull());
    EXPECT_DOUBLE_EQ(ds.fieldByName("DTHRINCMOV").asDateTime(),
                     tiv::encodeDateTime(2026, 12, 9, 23, 59, 59));

    // Saved by us and read again, nothing changes.
    const fs::path dir = scratch("other");
    ds.saveToFile((dir / "copy.cds").string());
    TClientDataSet again("cdsDeNovo");
    again.loadFromFile((dir / "copy.cds").string());
    EXPECT_EQ(dump(again), dump(ds));
    fs::remove_all(dir);
}

TEST_F(DataSetPacket, BadPacketsRaiseAndLeaveTheDatasetAlone) {
    const std::string fields =
        "<?xml version=\"1.0\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
        "<FIELD attrname=\"A\" fieldtype=\"string\" WIDTH=\"5\"/>"
        "<FIELD attrname=\"N\" fieldtype=\"i4\"/><FIELD attrname=\"B\" fieldtype=\"boolean\"/>"
        "<FIELD attrname=\"D\" fieldtype=\"dateTime\"/></FIELDS></METADATA><ROWDATA>";
    const struct {
        std::string xml;
        const char *says;
    } cases[] = {
        {"", "not an XML data packet"},
        {"\x96\x19\xE0\xBD binary", "not an XML data packet"},
        {"<DATAPACKET><METADATA>", "malformed XML"},
        {"<OTHER/>", "no DATAPACKET"},
        {"<DATAPACKET Version=\"2.0\"><ROWDATA/></DATAPACKET>", "no METADATA/FIELDS"},
        {"<DATAPACKET><METADATA><FIELDS/></METADATA></DATAPACKET>", "no FIELD"},
        {"<DATAPACKET><METADATA><FIELDS><FIELD fieldtype=\"i4\"/></FIELDS></METADATA>"
         "</DATAPACKET>",
         "no attrname"},
        {"<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"M\" fieldtype=\"bin.hex\"/>"
         "</FIELDS></METADATA></DATAPACKET>",
         "unsupported fieldtype \"bin.hex\""},
        {"<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"A\" fieldtype=\"string\"/>"
         "</FIELDS></METADATA></DATAPACKET>",
         "bad WIDTH"},
        {"<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"A\" fieldtype=\"string\" "
         "WIDTH=\"-3\"/></FIELDS></METADATA></DATAPACKET>",
         "bad WIDTH"},
        {"<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"A\" fieldtype=\"i4\"/>"
         "<FIELD attrname=\"a\" fieldtype=\"i4\"/></FIELDS></METADATA></DATAPACKET>",
         "appears twice"},
        {fields + "<ROW N=\"abc\"/></ROWDATA></DATAPACKET>", "row 1, field \"N\": bad value"},
        {fields + "<ROW/><ROW N=\"99999999999999999999\"/></ROWDATA></DATAPACKET>", "row 2"},
        {fields + "<ROW B=\"maybe\"/></ROWDATA></DATAPACKET>", "field \"B\""},
        {fields + "<ROW D=\"20261345T10:00:00000\"/></ROWDATA></DATAPACKET>", "field \"D\""},
        {fields + "<ROW D=\"20261210T25:00:00000\"/></ROWDATA></DATAPACKET>", "field \"D\""},
        {fields + "<ROW A=\"\xC3\"/></ROWDATA></DATAPACKET>", "Invalid data packet"},
        {fields + "<ROW RowState=\"x\"/></ROWDATA></DATAPACKET>", "RowState"},
    };
    const std::string before = dump(ds);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.xml);
        try {
            ds.setDataPacket(c.xml);
            ADD_FAILURE() << "accepted";
        } catch (const DataError &e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
        EXPECT_EQ(dump(ds), before);
    }
    EXPECT_THROW(ds.setData(Variant(5)), DataError);
    ds.setData(Variant::null()); // drops structure and rows
    EXPECT_FALSE(ds.active());
    EXPECT_EQ(ds.fieldCount(), 0u);
}

TEST_F(DataSetPacket, MissingFileAndFailedSaveLeaveFilesAlone) {
    const fs::path dir = scratch("save");
    const std::string path = (dir / "dados.cds").string();
    try {
        ds.loadFromFile(path);
        ADD_FAILURE() << "loaded a missing file";
    } catch (const DataError &e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_THROW(ds.saveToFile((dir / "no" / "such" / "dados.cds").string()), DataError);

    ds.saveToFile(path);
    const std::string old = tiv::readFile(path);
    // Grow the dataset past what the file system will take, so that the
    // write stops half-way.
    for (int i = 0; i < 200; ++i)
        tiv::test::addRow(ds, {"linha", i});
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = old.size() + 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(ds.saveToFile(path), DataError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(tiv::readFile(path), old);
    size_t files = 0;
    for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 1u); // no temporary file left behind
    fs::remove_all(dir);
}

TEST(DataSetCopy, CopiesRowsByFieldNameAndStructureOnRequest) {
    TClientDataSet src("cdsOrigem");
    src.addFieldDef("CDTIPORECE", FieldType::String, 10);
    src.addFieldDef("NRORG", FieldType::Integer);
    src.addFieldDef("VRRECE", FieldType::Float);
    src.createDataSet();
    tiv::test::addRow(src, {"DINHEIRO", 1, 10.25});
    tiv::test::addRow(src, {"CARTAO", 2, Variant()});
    src.setFilter("NRORG = 2"); // copying ignores the filter
    src.setFiltered(true);

    TClientDataSet dst("cdsDestino");
    dst.addFieldDef("cdtiporece", FieldType::String, 3); // cut to its own size
    dst.addFieldDef("NRORG", FieldType::Float);          // converted by type
    dst.addFieldDef("VRRECE", FieldType::String, 8);
    dst.addFieldDef("EXTRA", FieldType::Integer); // not in the source: null
    dst.createDataSet();
    tiv::test::addRow(dst, {"OLD"});
    dst.copyRowsFrom(src);
    EXPECT_EQ(dst.recordCount(), 3);
    EXPECT_EQ(walk(dst, "CDTIPORECE"), "OLD,DIN,CAR");
    dst.last();
    EXPECT_DOUBLE_EQ(dst.fieldByName("NRORG").asFloat(), 2.0);
    EXPECT_TRUE(dst.fieldByName("VRRECE").isNull());
    dst.prior();
    EXPECT_EQ(dst.fieldByName("VRRECE").asString(), "10,25");
    EXPECT_TRUE(dst.fieldByName("EXTRA").isNull());

    TClientDataSet fresh("cdsNovo"); // no fields: takes the source's
    fresh.copyRowsFrom(src);
    EXPECT_EQ(fresh.fieldByName("CDTIPORECE").size(), 10);
    EXPECT_EQ(walk(fresh, "CDTIPORECE"), "DINHEIRO,CARTAO");
    fresh.copyRowsFrom(fresh); // copying itself doubles once
    EXPECT_EQ(walk(fresh, "NRORG"), "1,2,1,2");

    dst.copyFrom(src); // structure and rows replaced
    EXPECT_EQ(dst.fieldCount(), 3u);
    EXPECT_EQ(dst.fieldByName("NRORG").type(), FieldType::Integer);
    EXPECT_EQ(walk(dst, "CDTIPORECE"), "DINHEIRO,CARTAO");

    dst.setLogChanges(false);
    EXPECT_FALSE(dst.logChanges());
}

} // namespace
