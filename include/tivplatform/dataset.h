#pragma once
#include <memory>
#include <string>
#include <vector>

#include "tivplatform/datetime.h"
#include "tivplatform/errors.h"
#include "tivplatform/export.h"
#include "tivplatform/variant.h"

namespace tiv {

enum class FieldType { String, Integer, Float, Boolean, DateTime };

struct FieldDef {
    std::string name;
    FieldType type = FieldType::String;
    int size = 0; // characters, for String fields
};

class TClientDataSet;

// A field of the current row, reached with fieldByName. Reads of a null
// field give the type's zero ("", 0, false); writes need the dataset in
// insert or edit state, else DataError.
class TIV_EXPORT TField {
  public:
    TField(TClientDataSet &ds, size_t index) : ds_(&ds), index_(index) {}
    const std::string &name() const;
    FieldType type() const;
    int size() const;
    bool isNull() const;

    std::string asString() const;
    double asFloat() const;
    int64_t asInteger() const;
    bool asBoolean() const;
    TDateTime asDateTime() const;
    Variant asVariant() const;

    void setAsString(const std::string &v);
    void setAsFloat(double v);
    void setAsInteger(int64_t v);
    void setAsBoolean(bool v);
    void setAsDateTime(TDateTime v);
    void setAsVariant(const Variant &v);
    void clear();

  private:
    TClientDataSet *ds_;
    size_t index_;
};

struct LocateOptions {
    bool caseInsensitive = false;
    bool partialKey = false;
};

// The host platform's in-memory client dataset: typed fields, a current row,
// filters, locate, named indexes, XML data packets and ".cds" files.
class TIV_EXPORT TClientDataSet {
  public:
    enum class State { Inactive, Browse, Insert, Edit };

    TClientDataSet();
    explicit TClientDataSet(std::string name);
    ~TClientDataSet();
    TClientDataSet(const TClientDataSet &) = delete;
    TClientDataSet &operator=(const TClientDataSet &) = delete;

    const std::string &name() const;

    // --- structure
    std::vector<FieldDef> &fieldDefs();
    const std::vector<FieldDef> &fieldDefs() const;
    void addFieldDef(const std::string &name, FieldType type, int size = 0);
    // Creates an empty, open dataset from the field definitions.
    void createDataSet();
    void open();  // needs fields (from createDataSet, a packet or a file)
    void close(); // keeps fields and rows; only the state changes
    bool active() const;
    State state() const;

    // --- rows and cursor (counts and moves see only rows the filter passes)
    void emptyDataSet();
    void first();
    void next();
    void prior();
    void last();
    bool eof() const;
    bool bof() const;
    bool isEmpty() const;
    int recordCount() const;
    int recNo() const; // 1-based; 0 when empty

    TField fieldByName(const std::string &name); // unknown name raises DataError
    bool hasField(const std::string &name) const;
    size_t fieldCount() const;

    void insert();
    void append();
    void edit();
    void post();
    void cancel();
    void deleteRecord();

    // --- filters: "FIELD = 'text'", "FIELD <> ' '", "A = 1 AND B = 'x'",
    // numbers unquoted; a malformed filter raises DataError when set active.
    void setFilter(const std::string &expression);
    const std::string &filter() const;
    void setFiltered(bool on);
    bool filtered() const;

    // --- locate: fields "A;B", values one variant or an array of them
    bool locate(const std::string &fields, const Variant &values, LocateOptions options = {});

    // --- indexes: fields "A;B"; setIndexName("") returns to insertion order
    void addIndex(const std::string &name, const std::string &fields, bool descending = false);
    void setIndexName(const std::string &name);
    const std::string &indexName() const;

    // Copies every row of `source` (all rows, filter ignored) into this
    // dataset; fields are matched by name, this one's structure is kept.
    // When this one has no fields yet, it takes the source's structure.
    void copyRowsFrom(const TClientDataSet &source);
    // Structure and rows of `source`, replacing this one's.
    void copyFrom(const TClientDataSet &source);

    void setLogChanges(bool on);
    bool logChanges() const;

    // --- data packets and files: the host platform's XML data-packet format
    std::string dataPacket() const;
    void setDataPacket(const std::string &xml); // bad XML raises DataError
    Variant data() const;                       // the packet as a text variant
    void setData(const Variant &packet);
    void loadFromFile(const std::string &path);
    void saveToFile(const std::string &path) const; // atomic

    struct Impl;

  private:
    friend class TField;
    std::unique_ptr<Impl> impl_;
};

} // namespace tiv
