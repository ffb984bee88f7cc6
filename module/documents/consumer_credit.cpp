// Credit bought into a consumer account, and its cancellation: a voucher
// the consumer keeps (printed as a management report), then the unlinked
// vouchers that put the money through the printer's non-fiscal totalizer.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/call_guard.h"
#include "core/data_module.h"
#include "core/document_progress.h"
#include "core/error_report.h"
#include "documents/documents.h"
#include "documents/printed_amount.h"
#include "management_report.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"
#include "tivplatform/errors.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

constexpr size_t kColumns = 48;

std::string cut48(const std::string &text) {
    return text.substr(0, kColumns) + "\n";
}

std::string rule() {
    return std::string(kColumns, '-') + "\n";
}

std::string blankLine() {
    return std::string(kColumns, ' ') + "\n";
}

// A label and a currency amount on one line of 48: the amount must fit
// beside the label, or the line's cut would drop its last digits.
std::string currencyLine(const std::string &label, const std::string &what, double value,
                         const std::string &colourScheme) {
    const size_t room = label.size() < kColumns ? kColumns - label.size() : 0;
    return cut48(label + fitAmount(what, value, tiv::formatCurrency(value), room, colourScheme));
}

struct Deposit {
    std::string amountLine{}, balanceLine{};
    struct Voucher {
        std::string cents{}, paymentName{};
    };
    std::vector<Voucher> vouchers{};
};

// The payment a voucher is paid with, as the printer knows it (16
// characters at most): a card or cheque row goes under its original method.
std::string voucherPaymentName(tiv::TClientDataSet &payments) {
    const std::string kind = payments.fieldByName("IDTIPORECE").asString();
    std::string name = payments.fieldByName("NMTIPORECE").asString();
    if (kind == "1" || kind == "2") {
        const std::string original = payments.fieldByName("NMTIPORECEORIG").asString();
        if (!original.empty()) name = original;
    }
    return name.substr(0, 16);
}

Deposit prepareDeposit(tiv::TClientDataSet &payments, double previousBalance,
                       const std::string &colourScheme) {
    Deposit d;
    double total = 0;
    for (payments.first(); !payments.eof(); payments.next()) {
        const double amount = payments.fieldByName("VRMOVIVEND").asFloat();
        total += amount;
        d.vouchers.push_back({voucherCents("Valor do pagamento", amount, colourScheme),
                              voucherPaymentName(payments)});
    }
    d.amountLine = currencyLine(msg("VrCupom"),
                                "Valor da compra de cr\xE9"
                                "dito",
                                total, colourScheme);
    d.balanceLine =
        currencyLine(msg("VrSaldo"), "Saldo final", total + previousBalance, colourScheme);
    return d;
}

std::string depositCopy(const Deposit &d, const std::string &depositNumber,
                        const std::string &consumerName, const std::string &familyName) {
    return "\n" + tivhost::Centraliza(msg("ComprCredito"), kColumns) + "\n" + rule() + "\n" +
           cut48(msg("Nr_Deposito") + depositNumber) + blankLine() +
           cut48(msg("NmCons") + consumerName) + cut48(msg("NmFami") + familyName) + d.amountLine +
           d.balanceLine;
}

// How far a deposit or its cancellation got, kept for the host's repeat of the same call: the
// copy is printed whole once and each voucher is issued once, so a repeat goes on where the
// printer stands instead of putting the money through again.
struct CreditProgress {
    uint64_t session = 0;
    std::string key, counter;
    bool copyOpened = false, copyWhole = false;
    size_t vouchers = 0; // issued
};
std::optional<CreditProgress> kept;

CreditProgress resumeCredit(const std::string &key) {
    return resumeProgress(kept, key);
}

// The copy (a management report) and the vouchers of one call. `printCopy` says whether the
// copy reached the paper whole and sets `opened` when its report opened.
struct CreditDocuments {
    std::function<bool(bool &opened)> printCopy;
    std::vector<std::function<bool()>> vouchers;
};

bool runCredit(CreditProgress p, const CreditDocuments &d, const std::string &colourScheme) {
    const bool repeat = p.copyOpened;
    if (!repeat) {
        bool opened = false;
        p.copyWhole = d.printCopy(opened);
        p.copyOpened = opened;
        // Nothing was issued: the repeat starts afresh.
        if (!opened) return false;
    } else if (const auto doc = readDocumentProgress(); doc && doc->state == '5') {
        // The copy's report left open by a failed closing would hold the vouchers back. It is
        // closed before them, and the copy printed again after them, so that no document but
        // the vouchers moves the count that tells a voucher issued.
        (void)closeManagementReport(colourScheme, boNUtilTaa, false);
    }
    // A deposit without payments puts nothing through the printer: not done.
    if (d.vouchers.empty()) return false;
    for (; p.vouchers < d.vouchers.size(); ++p.vouchers)
        if (!d.vouchers[p.vouchers]()) {
            kept = p;
            return false;
        }
    if (!p.copyWhole && repeat) {
        bool opened = false;
        p.copyWhole = d.printCopy(opened);
    }
    if (!p.copyWhole) {
        reportError("A via do consumidor n\xE3o foi impressa por inteiro; repita a opera\xE7\xE3o "
                    "para imprimi-la (os comprovantes j\xE1 emitidos n\xE3o ser\xE3o repetidos).",
                    colourScheme, boNUtilTaa);
        kept = p;
        return false;
    }
    return true;
}

bool buyCredit(const std::string &totalizerName, const std::string &serialNumber,
               const std::string &cerKey1, const std::string &cerKey2,
               const std::string &colourScheme, std::string &receiptCounter,
               tiv::TClientDataSet *payments, double previousBalance,
               const std::string &consumerName, const std::string &depositNumber,
               const std::string &familyName) {
    ensureDataModule();
    if (!payments || !payments->active())
        throw tiv::DataError("Compr_CredPessoal: no payments dataset");
    Deposit deposit;
    try {
        deposit = prepareDeposit(*payments, previousBalance, colourScheme);
    } catch (const AmountRefused &) {
        return false;
    }

    std::string key = "deposit " + totalizerName + " " + depositNumber + " " + consumerName;
    for (const Deposit::Voucher &v : deposit.vouchers)
        key += " " + v.cents + " " + v.paymentName;
    CreditProgress progress = resumeCredit(key);
    receiptCounter = receiptNumber(colourScheme);
    // A repeat hands back the counter of the deposit's own copy.
    if (progress.copyOpened)
        receiptCounter = progress.counter;
    else
        progress.counter = receiptCounter;

    CreditDocuments docs;
    docs.printCopy = [&](bool &opened) {
        opened = openManagementReport(colourScheme, cerKey1, cerKey2, "");
        bool whole = opened;
        if (opened) {
            recordDocument(serialNumber, colourScheme, "RG", "");
            const std::string copy = depositCopy(deposit, depositNumber, consumerName, familyName);
            whole = printReportText(colourScheme,
                                    (copy + blankLine() + blankLine() + blankLine() + blankLine())
                                        .substr(0, kBlockLimit)) &&
                    whole;
            whole = printReportText(colourScheme, copy.substr(0, kBlockLimit)) && whole;
        }
        return closeManagementReport(colourScheme, boNUtilTaa, false) && whole;
    };
    for (const Deposit::Voucher &v : deposit.vouchers)
        docs.vouchers.push_back([&] {
            return issueUnlinkedVoucher(colourScheme, totalizerName, v.cents, v.paymentName);
        });
    return runCredit(progress, docs, colourScheme);
}

bool cancelCredit(const std::string &totalizerName, const std::string &serialNumber,
                  const std::string &cerKey1, const std::string &cerKey2,
                  const std::string &colourScheme, const std::string &depositNumber,
                  const std::string &client, const std::string &consumerName,
                  const std::string &paymentName, double amount, double finalBalance,
                  const std::string &familyName) {
    ensureDataModule();
    std::string text, cents;
    try {
        cents = voucherCents("Valor do cancelamento", amount, colourScheme);
        const std::string amountLine =
            currencyLine(msg("VrCupom"), "Valor do cancelamento", amount, colourScheme);
        const std::string balanceLine =
            currencyLine(msg("Sald_Cons"), "Saldo final", finalBalance, colourScheme);
        text = "\n" + tivhost::Centraliza(msg("Canc_ComprCredito"), kColumns) + "\n" + rule() +
               "\n" + cut48(msg("Canc_Deposito") + ": " + depositNumber) + blankLine() +
               cut48(msg("CDCLIE") + client) + cut48(msg("Consumidor") + ": " + consumerName) +
               cut48(msg("NmFami") + familyName) + amountLine + balanceLine;
    } catch (const AmountRefused &) {
        return false;
    }

    CreditDocuments docs;
    docs.printCopy = [&](bool &opened) {
        opened = openManagementReport(colourScheme, cerKey1, cerKey2, "");
        if (!opened) return false;
        const bool printed = printReportText(colourScheme, text.substr(0, kBlockLimit));
        const bool closed = closeManagementReport(colourScheme, true, false);
        if (closed) recordDocument(serialNumber, colourScheme, "RG", "");
        return printed && closed;
    };
    docs.vouchers.push_back([&] {
        const bool issued = issueUnlinkedVoucher(colourScheme, totalizerName, cents, paymentName);
        if (issued) recordDocument(serialNumber, colourScheme, "CC", "");
        return issued;
    });
    return runCredit(resumeCredit("cancel " + totalizerName + " " + depositNumber + " " + cents +
                                  " " + paymentName),
                     docs, colourScheme);
}

} // namespace

extern "C" TIV_EXPORT bool Compr_CredPessoal(
    const std::string & /*unused1*/, const std::string &totalizerName,
    const std::string &serialNumber, const std::string &cerKey1, const std::string &cerKey2,
    const std::string &colourScheme, std::string &receiptCounter, std::string & /*unused8*/,
    tiv::TClientDataSet *payments, double previousBalance, const std::string &consumerName,
    const std::string &depositNumber, const std::string & /*unused13*/,
    const std::string & /*unused14*/, const std::string & /*unused15*/,
    const std::string & /*unused16*/, const std::string & /*unused17*/,
    const std::string & /*unused18*/, const std::string & /*unused19*/,
    const std::string & /*unused20*/, const std::string & /*unused21*/,
    const std::string & /*unused22*/, const std::string & /*unused23*/,
    const std::string & /*unused24*/, bool /*unused25*/, const std::string &familyName,
    const std::string & /*unused27*/, const std::string & /*unused28*/) {
    const tiv02000::CallGuard guard;
    return buyCredit(totalizerName, serialNumber, cerKey1, cerKey2, colourScheme, receiptCounter,
                     payments, previousBalance, consumerName, depositNumber, familyName);
}

extern "C" TIV_EXPORT bool Cancela_Cred_Pessoal(
    const std::string &totalizerName, const std::string &serialNumber, const std::string &cerKey1,
    const std::string &cerKey2, const std::string &colourScheme, std::string & /*unused6*/,
    const std::string &depositNumber, const std::string &client, const std::string &consumerName,
    const std::string & /*unused10*/, const std::string &paymentName, double amount,
    double finalBalance, const std::string &familyName) {
    const tiv02000::CallGuard guard;
    return cancelCredit(totalizerName, serialNumber, cerKey1, cerKey2, colourScheme, depositNumber,
                        client, consumerName, paymentName, amount, finalBalance, familyName);
}
