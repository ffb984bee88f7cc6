// Brings the printer's payment-method table in step with the host's list:
// each method shown on the sales screen is recognised in the printer or
// programmed into the next free slot; one that fits no slot leaves the list.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/reply.h"
#include "core/text.h"
#include "tiv02000/procedures.h"
#include "tivplatform/errors.h"
#include "tivplatform/numbers.h"
#include "tivplatform/system.h"

using namespace tiv02000;

namespace {

constexpr size_t kTableSize = 881;
constexpr size_t kRecordSize = 44;
constexpr int kSlotLimit = 20; // slots run up to 19

std::string rightTrim(std::string s) {
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.pop_back();
    return s;
}

std::string slotCode(int slot) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", slot);
    return buf;
}

// A method programmed during this call: its name as sent and its slot.
struct Programmed {
    std::string name;
    int slot = 0;
};

// Whole entries are compared: a key that is only part of another method's
// name ("CREDITO" in "CARTAO CREDITO") is not that method.
const Programmed *findProgrammed(const std::vector<Programmed> &list, const std::string &key) {
    const std::string wanted = trim(key);
    for (const Programmed &p : list)
        if (trim(upper(p.name)) == wanted) return &p;
    return nullptr;
}

// Where the method stands in the printer's table, if it is there.
struct PrinterEntry {
    std::string name; // as the printer holds it, trailing blanks removed
    int slot = 0;
};

std::optional<PrinterEntry> findInTable(std::string rest, const std::string &key) {
    const std::string wanted = trim(key);
    for (int position = 1; !isBlank(rest); ++position) {
        if (trim(upper(copyText(rest, 3, 15))) == wanted) {
            // The record's own number, or its place when that is unreadable.
            int64_t number = 0;
            const bool numbered = tiv::tryStrToInt(copyText(rest, 1, 2), number) && number > 0;
            return PrinterEntry{rightTrim(copyText(rest, 3, 15)),
                                numbered ? static_cast<int>(number) : position};
        }
        rest.erase(0, std::min(kRecordSize, rest.size()));
    }
    return std::nullopt;
}

std::string str(tiv::TClientDataSet &ds, const char *field) {
    return ds.fieldByName(field).asString();
}

void set(tiv::TClientDataSet &ds, const char *field, const std::string &value) {
    ds.fieldByName(field).setAsString(value);
}

// Issues vouchers unless the payment kind is "4".
std::string emitsVoucher(tiv::TClientDataSet &host) {
    return str(host, "IDTIPORECE") == "4" ? "N" : "S";
}

bool locateIgnoringCase(tiv::TClientDataSet &ds, const char *field, const std::string &value) {
    tiv::LocateOptions options;
    options.caseInsensitive = true;
    return ds.locate(field, tiv::Variant(value), options);
}

// The host row's method is absent from the printer: try the slots from the
// counter on. True when one took it.
bool program(tiv::TClientDataSet &host, tiv::TClientDataSet &copy, const std::string &colourScheme,
             int &slot, std::vector<Programmed> &programmed) {
    const std::string name = copyText(str(host, "DSIMPFISCAL"), 1, 15);
    bool done = false;
    while (!done && slot < kSlotLimit) {
        const std::string number = tiv::intToStr(slot);
        // A taken slot answers 050D, which the analysis judges false: the
        // next slot is tried.
        if (analyse({colourScheme, false}, family().programPaymentMethod(number, name))) {
            done = true;
            programmed.push_back({name, slot});
            const std::string voucher = emitsVoucher(host);
            host.edit();
            set(host, "CDFPIMPFIS", "S");
            set(host, "IDEMIVALE", voucher);
            host.post();
            if (locateIgnoringCase(copy, "CDTIPORECE", str(host, "CDTIPORECE"))) {
                copy.edit();
                set(copy, "IDEMIVALE", voucher);
                set(copy, "CDFPIMPFIS", slotCode(slot));
                copy.post();
            }
        }
        ++slot;
    }
    return done;
}

// Windows-1252 letters folded to upper case, accented ones included, as the
// platform's case-insensitive locate folds them.
std::string fold(const std::string &s) {
    std::string r = s;
    for (char &ch : r) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 'a' && c <= 'z')
            ch = static_cast<char>(c - 0x20);
        else if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
            ch = static_cast<char>(c - 0x20);
        else if (c == 0x9A || c == 0x9C || c == 0x9E)
            ch = static_cast<char>(c - 0x10);
        else if (c == 0xFF)
            ch = static_cast<char>(0x9F);
    }
    return rightTrim(r);
}

// The first row of the working copy that carries a code (anything but blank)
// under the same fiscal description, ignoring case. Walked by hand: the
// working copy's filter is left alone.
bool locateCoded(tiv::TClientDataSet &copy, const std::string &description) {
    const std::string wanted = fold(description);
    for (copy.first(); !copy.eof(); copy.next())
        if (!isBlank(str(copy, "CDFPIMPFIS")) && fold(str(copy, "DSIMPFISCAL")) == wanted)
            return true;
    return false;
}

// The host row's method is in the printer or was programmed earlier in this
// call: record the name the printer holds and the method's code.
void update(tiv::TClientDataSet &host, tiv::TClientDataSet &copy, const std::string &printerName,
            int printerSlot) {
    const std::string voucher = emitsVoucher(host);
    if (locateCoded(copy, str(host, "DSIMPFISCAL"))) {
        const std::string code = str(copy, "CDFPIMPFIS");
        host.edit();
        set(host, "NMTIPORECE", printerName);
        set(host, "CDFPIMPFIS", code);
        set(host, "IDEMIVALE", voucher);
        host.post();
    } else {
        host.edit();
        set(host, "NMTIPORECE", printerName);
        set(host, "CDFPIMPFIS", "S");
        set(host, "IDEMIVALE", voucher);
        if (str(host, "IDTIPORECE") == "B") set(host, "IDMOSTRARECE", "N");
        host.post();
        if (locateIgnoringCase(copy, "CDTIPORECE", str(host, "CDTIPORECE"))) {
            copy.edit();
            set(copy, "NMTIPORECE", printerName);
            set(copy, "IDEMIVALE", voucher);
            set(copy, "CDFPIMPFIS", slotCode(printerSlot));
            copy.post();
        }
    }
}

} // namespace

extern "C" TIV_EXPORT void CarregaRecebimento(const std::string & /*unused1*/,
                                              const std::string &colourScheme, int32_t /*unused3*/,
                                              tiv::TClientDataSet *&paymentMethods) {
    const tiv02000::CallGuard guard;
    if (paymentMethods == nullptr)
        throw tiv::DataError("CarregaRecebimento: the host's payment-method dataset is missing");
    tiv::TClientDataSet &host = *paymentMethods;

    tiv::TClientDataSet &copy = dataModule().dataset("cdsReceb");
    copy.setFiltered(false);
    copy.copyFrom(host);

    host.setFilter("IDTPBUTTON = '5'");
    host.setFiltered(true);
    host.first();

    Reply reply(kTableSize);
    const int32_t rc = EPSON(EPSON_Obter_Tabela_Pagamentos)(reply.data());
    const std::string table = reply.text();
    // An unreadable table leaves every method absent: programming is tried.
    (void)analyse({colourScheme, false}, {rc, replyLine("EPSON_Obter_Tabela_Pagamentos", table)});

    std::vector<Programmed> programmed;
    int slot = family().firstPaymentSlot();

    while (!host.eof()) {
        bool stop = false;
        const std::string shown = str(host, "IDMOSTRARECE");
        if (shown != "S" && !isBlank(shown)) {
            host.next();
            tiv::processMessages();
            continue;
        }
        const std::string key = upper(copyText(str(host, "DSIMPFISCAL"), 1, 15));
        const std::optional<PrinterEntry> inPrinter = findInTable(table, key);
        const Programmed *earlier = findProgrammed(programmed, key);

        if (!inPrinter && earlier == nullptr) {
            if (program(host, copy, colourScheme, slot, programmed)) {
                host.next();
            } else {
                // The row after the deleted one becomes current; when the
                // deleted row was the last, the cursor falls back on the row
                // already done, so the walk ends here.
                stop = host.recNo() == host.recordCount();
                host.deleteRecord();
            }
        } else if (inPrinter) {
            update(host, copy, inPrinter->name, inPrinter->slot);
            host.next();
        } else {
            update(host, copy, rightTrim(earlier->name), earlier->slot);
            host.next();
        }
        tiv::processMessages();
        if (stop) break;
    }
}
