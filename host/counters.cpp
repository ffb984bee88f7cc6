// Document counters the driver hands over after each document: one row per
// call in the host database, texts as UTF-8 so a person can read them there.
#include <cstdio>

#include "host_db.h"
#include "tivhost/host.h"
#include "tivplatform/cp1252.h"

namespace tivhost {

namespace {

// "YYYY-MM-DD hh:mm:ss", or NULL for a serial that is no date; the serial
// itself is stored beside it either way.
db::Value isoText(TDateTime dt) {
    try {
        tiv::DateParts d = tiv::decodeDate(dt);
        tiv::TimeParts t = tiv::decodeTime(dt);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                      t.hour, t.minute, t.second);
        return db::Value::ofText(text);
    } catch (const tiv::ConversionError &) {
        return db::Value::null();
    }
}

db::Value text8(const std::string &s) {
    return db::Value::ofText(tiv::cp1252ToUtf8(s));
}
db::Value wide(const std::wstring &s) {
    return db::Value::ofText(tiv::wideToUtf8(s));
}

} // namespace

void GravaCER(const std::string &a, const std::string &b, TDateTime date) {
    db::insertRow(
        "INSERT INTO grava_cer (key1, key2, fiscal_date, fiscal_date_serial, "
        "recorded_at) VALUES (?, ?, ?, ?, ?)",
        {text8(a), text8(b), isoText(date), db::Value::ofReal(date), isoText(tiv::now())});
}

void setDocNaoFiscaisECF(const std::wstring &s1, const std::wstring &s2, const std::wstring &s3,
                         const std::wstring &s4, const std::wstring &s5, const std::wstring &s6,
                         const std::wstring &s7, TDateTime d1, TDateTime d2,
                         const std::string &s8) {
    db::insertRow(
        "INSERT INTO doc_nao_fiscais_ecf (serial_number, receipt_counter, nonfiscal_counter, "
        "report_counter, credit_counter, document_code, extra_key, issued_at, issued_at_serial, "
        "fiscal_date, fiscal_date_serial, note, recorded_at) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {wide(s1), wide(s2), wide(s3), wide(s4), wide(s5), wide(s6), wide(s7), isoText(d1),
         db::Value::ofReal(d1), isoText(d2), db::Value::ofReal(d2), text8(s8),
         isoText(tiv::now())});
}

} // namespace tivhost
