#pragma once
#include <cstdint>
#include <string_view>

// The result codes the printer leaves in positions 17-20 of its status (four hexadecimal
// digits), each with what it tells the operator, in Portuguese and CP1252. The virtual printer
// makes its refusals from this list and the driver names the code it reads back with it, so
// the two never disagree; the table in docs/printer.md is compared with it by a test.
//
// X(name, code, operator's text)
#define EPSON_RESULT_CODES(X)                                                                      \
    X(Ok, 0x0000, "Comando executado.")                                                            \
    X(NotAllowed, 0x0101, "Comando n\xE3o permitido no estado atual da impressora.")               \
    X(DayClosed, 0x0102, "Dia fiscal n\xE3o aberto.")                                              \
    X(DayReduced, 0x0103, "Redu\xE7\xE3o Z do dia j\xE1 emitida.")                                 \
    X(ZPending, 0x0104, "Redu\xE7\xE3o Z pendente: o dia fiscal aberto \xE9 de outra data.")       \
    X(DayAlreadyOpen, 0x0105, "Dia fiscal j\xE1 aberto.")                                          \
    X(ReceiptOpen, 0x0201, "Cupom fiscal aberto.")                                                 \
    X(NoReceipt, 0x0202, "Nenhum cupom fiscal aberto.")                                            \
    X(DocumentOpen, 0x0203, "Documento n\xE3o fiscal aberto.")                                     \
    X(NoVoucher, 0x0204, "Nenhum comprovante n\xE3o fiscal aberto.")                               \
    X(NoReport, 0x0205, "Nenhum relat\xF3rio gerencial aberto.")                                   \
    X(NoLinkedVoucher, 0x0206,                                                                     \
      "Nenhum comprovante de cr\xE9"                                                               \
      "dito ou d\xE9"                                                                              \
      "bito aberto.")                                                                              \
    X(BadParameter, 0x0301, "Par\xE2metro ausente ou inv\xE1lido.")                                \
    X(TooLong, 0x0302, "Texto maior que o campo.")                                                 \
    X(NotNumeric, 0x0303, "Valor, quantidade ou n\xFAmero com caracteres n\xE3o num\xE9ricos.")    \
    X(ZeroValue, 0x0304, "Quantidade, pre\xE7o ou valor igual a zero.")                            \
    X(UnknownTax, 0x0305, "Al\xEDquota n\xE3o programada.")                                        \
    X(NoSuchItem, 0x0306, "Item inexistente ou j\xE1 cancelado.")                                  \
    X(OutOfRange, 0x0307, "Valor acima do permitido para a opera\xE7\xE3o.")                       \
    X(UnknownPayment, 0x0308, "Forma de pagamento n\xE3o programada.")                             \
    X(UnknownTotalizer, 0x0309, "Totalizador n\xE3o fiscal n\xE3o programado.")                    \
    X(TooLarge, 0x0310, "Valor grande demais para a impressora.")                                  \
    X(NotPaid, 0x0401, "Valor pago menor que o total do documento.")                               \
    X(InPayment, 0x0402, "Cupom j\xE1 em subtotal ou pagamento.")                                  \
    X(AdjustmentGiven, 0x0403, "Desconto ou acr\xE9scimo j\xE1 aplicado.")                         \
    X(NothingToCancel, 0x0404, "Nenhum cupom que possa ser cancelado.")                            \
    X(NoItems, 0x0405, "Documento sem itens.")                                                     \
    X(PaymentTaken, 0x050D, "Forma de pagamento j\xE1 programada.")                                \
    X(TableFull, 0x050E, "Tabela cheia.")                                                          \
    X(BadSlot, 0x050F, "Posi\xE7\xE3o fora da tabela.")                                            \
    X(NameTaken, 0x0510, "Nome j\xE1 programado na tabela.")                                       \
    X(TotalizerTaken, 0x0511, "Totalizador n\xE3o fiscal j\xE1 programado nesta posi\xE7\xE3o.")   \
    X(Refused, 0x0601, "Comando recusado pela impressora.")                                        \
    X(FilesLater, 0x0701, "Gera\xE7\xE3o de arquivo n\xE3o dispon\xEDvel.")                        \
    X(NothingInRange, 0x0702, "Nenhum registro no intervalo pedido.")                              \
    X(FileFailed, 0x0703, "N\xE3o foi poss\xEDvel gravar o arquivo.")                              \
    X(PaperOut, 0x0801, "Impressora sem papel.")                                                   \
    X(Storage, 0x0901, "Falha ao ler ou gravar a mem\xF3ria da impressora.")

namespace epson {

// Each code by its name, for the code that tests for one (result::PaymentTaken).
namespace result {
#define EPSON_RESULT_CODE_CONSTANT(name, code, meaning) inline constexpr uint16_t name = code;
EPSON_RESULT_CODES(EPSON_RESULT_CODE_CONSTANT)
#undef EPSON_RESULT_CODE_CONSTANT
} // namespace result

struct ResultCode {
    uint16_t code;
    std::string_view name;
    std::string_view meaning; // the operator's text, CP1252
};

#define EPSON_RESULT_CODE_ROW(name, code, meaning) ResultCode{code, #name, meaning},
inline constexpr ResultCode kResultCodes[] = {EPSON_RESULT_CODES(EPSON_RESULT_CODE_ROW)};
#undef EPSON_RESULT_CODE_ROW

// The operator's text for `code`; empty for a code this list does not hold (a real printer
// may answer others).
constexpr std::string_view resultMeaning(uint16_t code) {
    for (const ResultCode &r : kResultCodes)
        if (r.code == code) return r.meaning;
    return {};
}

} // namespace epson
