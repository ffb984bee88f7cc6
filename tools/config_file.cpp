#include "config_file.h"

#include <cmath>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "tiv02000/config_file.h"
#include "tivhost/host.h"
#include "tivplatform/cp1252.h"
#include "tivplatform/dataset.h"
#include "tivplatform/numbers.h"
#include "tivplatform/system.h"

namespace tivtool {

namespace cf = tiv02000::config_file;

namespace {

void newFile(tiv::TClientDataSet &file) {
    file.addFieldDef(cf::kBranch, tiv::FieldType::String, cf::kBranchSize);
    file.addFieldDef(cf::kTill, tiv::FieldType::String, cf::kTillSize);
    file.addFieldDef(cf::kSerial, tiv::FieldType::String, cf::kSerialSize);
    file.addFieldDef(cf::kCheckGt, tiv::FieldType::String, 1);
    file.addFieldDef(cf::kGt, tiv::FieldType::String, cf::kGtSize);
    file.createDataSet();
}

void fits(const std::string &value, int size, const char *what) {
    if (value.size() > static_cast<size_t>(size))
        throw std::runtime_error(std::string(what) + " \"" + value + "\" is longer than " +
                                 std::to_string(size) + " characters");
}

std::string decoded(tiv::TClientDataSet &file, const char *field) {
    try {
        return tivhost::Uncripto(file.fieldByName(field).asString(), cf::kKey);
    } catch (const tiv::DataError &) {
        return "(ilegivel)";
    }
}

} // namespace

std::string defaultConfigPath() {
    return tiv::programFolder() + "/" + cf::kName;
}

void writeConfigRow(const std::string &path, const ConfigRowOptions &row) {
    const std::string branch = tiv::utf8ToCp1252(row.branch), till = tiv::utf8ToCp1252(row.till),
                      serial = tiv::utf8ToCp1252(row.serial);
    if (branch.empty() || till.empty() || serial.empty())
        throw std::runtime_error("a row needs its branch, till and printer serial number");
    fits(branch, cf::kBranchSize, "the branch");
    fits(till, cf::kTillSize, "the till");
    const std::string gt = row.gt.empty() ? tiv::formatFixed(cf::kGtNotRecorded, 2) : row.gt;
    double value = 0;
    if (!tiv::tryStrToFloat(gt, value) || !std::isfinite(value) || value < 0)
        throw std::runtime_error("the grand total \"" + row.gt + "\" is not a decimal number (" +
                                 tiv::formatFixed(1234.5, 2) + ")");
    const std::string encodedSerial = tivhost::Cripto(serial, cf::kKey);
    const std::string encodedGt = tivhost::Cripto(gt, cf::kKey);
    fits(encodedSerial, cf::kSerialSize, "the encoded serial number");

    tiv::TClientDataSet file;
    if (tiv::fileExists(path))
        file.loadFromFile(path);
    else
        newFile(file);
    fits(encodedGt, file.fieldByName(cf::kGt).size(), "the encoded grand total");
    const bool found =
        file.locate(std::string(cf::kBranch) + ";" + cf::kTill + ";" + cf::kSerial,
                    tiv::Variant(std::vector<tiv::Variant>{branch, till, encodedSerial}));
    if (found)
        file.edit();
    else
        file.append();
    file.fieldByName(cf::kBranch).setAsString(branch);
    file.fieldByName(cf::kTill).setAsString(till);
    file.fieldByName(cf::kSerial).setAsString(encodedSerial);
    file.fieldByName(cf::kCheckGt).setAsString(row.checkGt ? "S" : "N");
    file.fieldByName(cf::kGt).setAsString(encodedGt);
    file.post();
    file.saveToFile(path);
}

void showConfig(const std::string &path, std::ostream &out) {
    tiv::TClientDataSet file;
    file.loadFromFile(path);
    out << "Arquivo: " << path << '\n';
    if (file.isEmpty()) out << "(nenhuma linha)\n";
    for (file.first(); !file.eof(); file.next()) {
        const std::string gt = decoded(file, cf::kGt);
        double value = 0;
        const bool notRecorded =
            tiv::tryStrToFloat(gt, value) &&
            std::llround(value * 100) == std::llround(cf::kGtNotRecorded * 100);
        out << "Filial " << tiv::cp1252ToUtf8(file.fieldByName(cf::kBranch).asString())
            << "  Caixa " << tiv::cp1252ToUtf8(file.fieldByName(cf::kTill).asString()) << "  Serie "
            << tiv::cp1252ToUtf8(decoded(file, cf::kSerial)) << "  Confere GT "
            << file.fieldByName(cf::kCheckGt).asString() << "  GT "
            << (notRecorded ? "(ainda nao gravado)" : tiv::cp1252ToUtf8(gt)) << '\n';
    }
}

} // namespace tivtool
