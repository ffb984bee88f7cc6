#pragma once
// Every procedure the driver module exports, in one list. The module defines
// them, a host looks them up by plain name with dlsym and casts the address to
// the matching type of tiv02000::fn. Expanding the list (the X-macro below)
// keeps declarations, pointer types and the table of names from drifting apart.
//
// X(return type, name, (parameters with types and names), (parameter names))
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tivplatform/dataset.h"
#include "tivplatform/datetime.h"
#include "tivplatform/export.h"
#include "tivplatform/stringlist.h"
#include "tivplatform/variant.h"

// clang-format off
#define TIV02000_PROCEDURES(X) \
    X(bool, StartImpFiscal, (const tiv::Variant& params), (params)) \
    X(void, StopImpFiscal, (), ()) \
    X(void, ImpFisDebug, (const std::string& text), (text)) \
    X(bool, AbrePorta, (const tiv::Variant& params), (params)) \
    X(bool, VerificaData, (const std::string& colourScheme, tiv::TDateTime& movementDate, \
        const std::string& clock, const std::string& fiscalDate, bool readClock), \
        (colourScheme, movementDate, clock, fiscalDate, readClock)) \
    X(bool, Data_Imp, (const std::string& colourScheme, std::string& clock), (colourScheme, clock)) \
    X(bool, Carrega_Dados_Impressora, (tiv::Variant& params), (params)) \
    X(void, CarregaAliquota, (const std::string& colourScheme, tiv::TClientDataSet*& taxRates), \
        (colourScheme, taxRates)) \
    X(void, CarregaRecebimento, (const std::string& unused1, const std::string& colourScheme, \
        int32_t unused3, tiv::TClientDataSet*& paymentMethods), \
        (unused1, colourScheme, unused3, paymentMethods)) \
    X(void, CarregaTotalizador, (std::string& cvEmi, std::string& vendaCons, \
        std::string& compraCred, std::string& cancCred, std::string& relatorio, \
        const std::string& colourScheme, int32_t unused7, tiv::TClientDataSet*& unused8), \
        (cvEmi, vendaCons, compraCred, cancCred, relatorio, colourScheme, unused7, unused8)) \
    X(void, CarregaRelatorioGer, (std::string& unused1, std::string& unused2, \
        std::string& unused3, std::string& unused4, std::string& unused5, std::string& unused6, \
        const std::string& unused7, int32_t unused8), \
        (unused1, unused2, unused3, unused4, unused5, unused6, unused7, unused8)) \
    X(bool, AbreCupom, (tiv::Variant& params), (params)) \
    X(bool, VendaItem, (tiv::Variant& params), (params)) \
    X(bool, FechaCupom, (const tiv::Variant& args, tiv::TStringList* lines, tiv::Variant& result), \
        (args, lines, result)) \
    X(bool, Cancela_Cupom_Imp, (const tiv::Variant& args, tiv::Variant& result), (args, result)) \
    X(bool, Cancela_ItGenerico, (const std::string& colourScheme, const std::string& item, \
        const std::wstring& unused3, const std::wstring& unused4, const std::wstring& unused5, \
        const std::wstring& unused6, const std::wstring& unused7, const std::wstring& unused8, \
        const std::wstring& unused9, double unused10, double unused11), \
        (colourScheme, item, unused3, unused4, unused5, unused6, unused7, unused8, unused9, \
         unused10, unused11)) \
    X(bool, Cancela_UltimoItem, (const std::string& colourScheme), (colourScheme)) \
    X(bool, Relatorio_Gerencial_Imp, (const std::string& colourScheme, const std::string& cerKey1, \
        const std::string& cerKey2, const std::string& unused4, const std::string& cerFlag), \
        (colourScheme, cerKey1, cerKey2, unused4, cerFlag)) \
    X(bool, FechRelatGerenc, (const std::string& colourScheme, bool showMessages, \
        bool analysisFlag), (colourScheme, showMessages, analysisFlag)) \
    X(bool, Usa_CompNFis, (const std::string& colourScheme, const std::string& text), \
        (colourScheme, text)) \
    X(bool, Relatorio_Generico, (const std::string& colourScheme, const std::string& cerKey1, \
        const std::string& cerKey2, const std::string& text, const std::string& serialNumber, \
        const std::string& unused6), \
        (colourScheme, cerKey1, cerKey2, text, serialNumber, unused6)) \
    X(void, GravaDocumentosNaoFiscais, (const std::string& serialNumber, \
        const std::string& colourScheme, const std::string& documentCode, \
        const std::string& extraKey), (serialNumber, colourScheme, documentCode, extraKey)) \
    X(bool, Cabecalho, (const std::string& cerKey1, const std::string& colourScheme, \
        const std::string& title, const std::string& tillCode, const std::string& unused5, \
        const std::string& unused6), (cerKey1, colourScheme, title, tillCode, unused5, unused6)) \
    X(bool, Cupom_NFiscNVinc, (const std::string& colourScheme, const std::string& totalizerName, \
        const std::string& amountCents, const std::string& paymentName, \
        const std::string& unused5), \
        (colourScheme, totalizerName, amountCents, paymentName, unused5)) \
    X(bool, Abre_Comp_NFiscalVinc, (const std::string& colourScheme, \
        const std::string& paymentName, const std::string& amountCents, \
        const std::string& unused4), (colourScheme, paymentName, amountCents, unused4)) \
    X(bool, ImprimeTef, (const std::string& serialNumber, const std::string& cerKey1, \
        const std::string& cerKey2, const std::string& colourScheme, \
        tiv::TStringList* firstSlips, tiv::TStringList* secondSlips, tiv::TStringList* unused7, \
        tiv::TStringList* unused8, const std::string& unused9, const std::string& paymentName, \
        const std::string& unused11, double amount, double unused13, int32_t unused14, \
        const std::string& firstListMode, const std::string& secondListMode), \
        (serialNumber, cerKey1, cerKey2, colourScheme, firstSlips, secondSlips, unused7, \
         unused8, unused9, paymentName, unused11, amount, unused13, unused14, firstListMode, \
         secondListMode)) \
    X(bool, Suprimento, (const std::string& unused1, const std::string& colourScheme, \
        double amount), (unused1, colourScheme, amount)) \
    X(bool, Sangria, (const std::string& unused1, const std::string& colourScheme, \
        double amount), (unused1, colourScheme, amount)) \
    X(bool, GeraReciboSangria, (const std::string& unused1, const std::string& serialNumber, \
        const std::string& cerKey1, const std::string& cerKey2, const std::string& unused5, \
        int32_t unused6, std::string& receiptCounter, tiv::TClientDataSet* movFecha, \
        tiv::TClientDataSet* sangria, tiv::TClientDataSet* openingProducts, \
        tiv::TClientDataSet* operadorSup, tiv::TClientDataSet* movTot, \
        tiv::TClientDataSet* movAbertura, tiv::TClientDataSet* dayProducts, \
        tiv::TClientDataSet* creditSold, tiv::TDateTime unused16, bool printReceipt, \
        bool askReduction, bool unused19, tiv::TClientDataSet*& unused20, \
        tiv::TClientDataSet*& unused21, tiv::TClientDataSet*& unused22, \
        tiv::TClientDataSet*& unused23, bool& closingReached, tiv::TClientDataSet* tipoReceAux, \
        const std::string& productConfirmMode, const std::string& productGrouping, \
        const std::string& printXReading, const std::string& envelopeColumn, \
        const std::string& colourScheme, bool withdrawalOnly, bool repeatCall, \
        bool confirmReduction, const std::string& unused34, const std::string& unused35), \
        (unused1, serialNumber, cerKey1, cerKey2, unused5, unused6, receiptCounter, movFecha, \
         sangria, openingProducts, operadorSup, movTot, movAbertura, dayProducts, creditSold, \
         unused16, printReceipt, askReduction, unused19, unused20, unused21, unused22, unused23, \
         closingReached, tipoReceAux, productConfirmMode, productGrouping, printXReading, \
         envelopeColumn, colourScheme, withdrawalOnly, repeatCall, confirmReduction, unused34, \
         unused35)) \
    X(bool, Comp_DebitoCons, (const std::string& colourScheme, const tiv::Variant& products, \
        double saleAmount, const std::string& unused4, const std::string& registration, \
        const std::string& consumerName, const std::string& client, \
        const std::string& clientLine2, const std::string& orderPassword, \
        double previousBalance, double subsidisedAmount, double complementAmount, \
        const std::string& balanceMode, const std::string& unused14, \
        const std::string& unused15, const std::string& unused16, const std::string& unused17, \
        const tiv::Variant& unused18), \
        (colourScheme, products, saleAmount, unused4, registration, consumerName, client, \
         clientLine2, orderPassword, previousBalance, subsidisedAmount, complementAmount, \
         balanceMode, unused14, unused15, unused16, unused17, unused18)) \
    X(bool, Compr_CredPessoal, (const std::string& unused1, const std::string& totalizerName, \
        const std::string& serialNumber, const std::string& cerKey1, const std::string& cerKey2, \
        const std::string& colourScheme, std::string& receiptCounter, std::string& unused8, \
        tiv::TClientDataSet* payments, double previousBalance, const std::string& consumerName, \
        const std::string& depositNumber, const std::string& unused13, \
        const std::string& unused14, const std::string& unused15, const std::string& unused16, \
        const std::string& unused17, const std::string& unused18, const std::string& unused19, \
        const std::string& unused20, const std::string& unused21, const std::string& unused22, \
        const std::string& unused23, const std::string& unused24, bool unused25, \
        const std::string& familyName, const std::string& unused27, \
        const std::string& unused28), \
        (unused1, totalizerName, serialNumber, cerKey1, cerKey2, colourScheme, receiptCounter, \
         unused8, payments, previousBalance, consumerName, depositNumber, unused13, unused14, \
         unused15, unused16, unused17, unused18, unused19, unused20, unused21, unused22, \
         unused23, unused24, unused25, familyName, unused27, unused28)) \
    X(bool, Cancela_Cred_Pessoal, (const std::string& totalizerName, \
        const std::string& serialNumber, const std::string& cerKey1, const std::string& cerKey2, \
        const std::string& colourScheme, std::string& unused6, const std::string& depositNumber, \
        const std::string& client, const std::string& consumerName, const std::string& unused10, \
        const std::string& paymentName, double amount, double finalBalance, \
        const std::string& familyName), \
        (totalizerName, serialNumber, cerKey1, cerKey2, colourScheme, unused6, depositNumber, \
         client, consumerName, unused10, paymentName, amount, finalBalance, familyName)) \
    X(bool, Imp_CompVenCred, (const std::string& colourScheme, const tiv::Variant& products, \
        const tiv::Variant& familyBalances, double saleAmount, const std::string& unused5, \
        const std::string& registration, const std::string& consumerName, \
        const std::string& client, const std::string& clientLine2, \
        const std::string& orderPassword, double previousBalance, double subsidisedAmount, \
        double complementAmount, const std::string& balanceMode), \
        (colourScheme, products, familyBalances, saleAmount, unused5, registration, \
         consumerName, client, clientLine2, orderPassword, previousBalance, subsidisedAmount, \
         complementAmount, balanceMode)) \
    X(bool, ImpSaldo, (const std::string& colourScheme, tiv::TClientDataSet* familyBalances, \
        const std::string& consumerCode, const std::string& consumerName), \
        (colourScheme, familyBalances, consumerCode, consumerName)) \
    X(bool, ImpSaldoDeb, (const std::string& colourScheme, tiv::TClientDataSet* balances, \
        const std::string& consumerCode, const std::string& consumerName), \
        (colourScheme, balances, consumerCode, consumerName)) \
    X(bool, Extrato, (const std::string& statement, const std::string& colourScheme), \
        (statement, colourScheme)) \
    X(bool, Leitura_X_Imp, (const std::string& serialNumber, const std::string& unused2, \
        const std::string& colourScheme, const std::string& unused4), \
        (serialNumber, unused2, colourScheme, unused4)) \
    X(bool, Reducao_Z_Imp, (const std::string& serialNumber, const std::string& unused2, \
        const std::string& colourScheme, const std::string& unused4), \
        (serialNumber, unused2, colourScheme, unused4)) \
    X(bool, Estado_HorVerao, (const std::string& colourScheme), (colourScheme)) \
    X(bool, Muda_Horario, (const std::string& colourScheme), (colourScheme)) \
    X(std::string, Nr_Cupom, (const std::string& unused1, const std::string& colourScheme), \
        (unused1, colourScheme)) \
    X(bool, ContadorCupomFiscalMFD, (const std::string& colourScheme, std::string& counter), \
        (colourScheme, counter)) \
    X(bool, ContadorRelatoriosGerenciaisMFD, (const std::string& colourScheme, \
        std::string& counter), (colourScheme, counter)) \
    X(bool, NumeroOperacoesNaoFiscais, (const std::string& colourScheme, std::string& counter), \
        (colourScheme, counter)) \
    X(bool, NumeroIntervencoes, (const std::string& colourScheme, std::string& counter), \
        (colourScheme, counter)) \
    X(bool, NumeroReducoes, (const std::string& colourScheme, std::string& counter), \
        (colourScheme, counter)) \
    X(bool, NumeroSubstituicoesProprietario, (const std::string& colourScheme, \
        std::string& counter), (colourScheme, counter)) \
    X(bool, VendaBruta, (const std::string& colourScheme, std::string& total), \
        (colourScheme, total)) \
    X(bool, Cancelamentos, (const std::string& colourScheme, std::string& total), \
        (colourScheme, total)) \
    X(bool, Descontos, (const std::string& colourScheme, std::string& total), \
        (colourScheme, total)) \
    X(bool, Acrescimo_Imp, (const std::string& colourScheme, std::string& total), \
        (colourScheme, total)) \
    X(bool, BuscaTotGer, (const std::string& colourScheme, std::string& grandTotal), \
        (colourScheme, grandTotal)) \
    X(bool, Modelo_Impressora, (const std::string& colourScheme, std::string& field1, \
        std::string& field2, std::string& field3), (colourScheme, field1, field2, field3)) \
    X(bool, Versao_Software_Basico, (const std::string& colourScheme, std::string& version), \
        (colourScheme, version)) \
    X(std::string, Codigo_Nacional_ECF, (int32_t unused1, const std::string& unused2), \
        (unused1, unused2)) \
    X(tiv::TDateTime, DataMoviFiscal, (const std::string& colourScheme), (colourScheme)) \
    X(bool, DataHoraGravacaoUsuarioSWBasicoMFAdicional, (const std::string& colourScheme, \
        std::string& date, std::string& time, std::string& extra), \
        (colourScheme, date, time, extra)) \
    X(bool, Estado_Imp, (const std::string& colourScheme, bool unused2, bool unused3), \
        (colourScheme, unused2, unused3)) \
    X(std::string, Estado_Gaveta_Imp, (const std::string& unused1), (unused1)) \
    X(bool, Abre_Gaveta_Imp, (const std::string& colourScheme, bool unused2), \
        (colourScheme, unused2)) \
    /* The host's tax-table dataset receives a copy of the last reduction's taxes. */ \
    X(bool, DadosUltimaRedZ, (const tiv::Variant& args, tiv::Variant& result, \
        tiv::TClientDataSet*& taxTable), (args, result, taxTable)) \
    X(bool, ExportRedZ, (const std::string& unused1, const std::string& colourScheme, \
        const std::string& ecfNumber, int32_t unused4, tiv::TClientDataSet* paymentMethods, \
        tiv::TClientDataSet*& reductions, tiv::TClientDataSet*& reductionPayments, \
        tiv::TClientDataSet*& reductionTaxes, tiv::TClientDataSet*& reductionNonFiscal), \
        (unused1, colourScheme, ecfNumber, unused4, paymentMethods, reductions, \
         reductionPayments, reductionTaxes, reductionNonFiscal)) \
    X(double, GetValue, (const std::string& text), (text)) \
    X(bool, Atu_TotGeral, (const tiv::Variant& params), (params)) \
    X(bool, VerificaSerialImp, (const tiv::Variant& params), (params)) \
    X(bool, EmiteLeituraMemoriaFiscal, (const std::string& colourScheme, \
        const std::string& start, const std::string& end, const std::string& readingKind, \
        const std::string& rangeKind, const std::string& serialNumber), \
        (colourScheme, start, end, readingKind, rangeKind, serialNumber)) \
    X(bool, EmiteLeituraMemoriaFiscalSerial, (const tiv::Variant& args, tiv::Variant& result), \
        (args, result)) \
    X(bool, Gera_ArquivoMFD, (const tiv::Variant& args, tiv::Variant& result), (args, result)) \
    X(bool, geraEspelhoMfd, (const tiv::Variant& args, tiv::Variant& result), (args, result)) \
    X(bool, GERA_MF, (const std::string& unused1, const std::string& filePath), \
        (unused1, filePath)) \
    X(bool, GeraBinMes, (tiv::TDateTime unused1, tiv::TDateTime unused2, \
        const std::string& unused3), (unused1, unused2, unused3)) \
    X(bool, GeraCatGenerica, (const tiv::Variant& args, tiv::TStringList*& fileList), \
        (args, fileList)) \
    X(void, geraEad, (const std::string& filePath), (filePath)) \
    X(void, ImprimeDadosPaf, (const tiv::Variant& args, tiv::Variant& result), (args, result)) \
    X(void, Relatorio_Produto, (const std::string& unused1, const std::string& mode, \
        const std::string& serialNumber, const std::string& branchCode, \
        const std::string& tillCode, std::string& reportNumber, tiv::TClientDataSet* products, \
        const std::string& confirmMode, const std::string& groupByTax, \
        const std::string& colourScheme, bool& reportOpen), \
        (unused1, mode, serialNumber, branchCode, tillCode, reportNumber, products, \
         confirmMode, groupByTax, colourScheme, reportOpen)) \
    X(bool, ImprimeMesasAbertas, (tiv::TClientDataSet*& unused1, const std::string& cerKey1, \
        const std::string& cerKey2, const std::string& colourScheme, \
        const std::string& serialNumber, const tiv::Variant& openTables), \
        (unused1, cerKey1, cerKey2, colourScheme, serialNumber, openTables)) \
    X(void, imprimeProdutosTransf, (const std::string& cerKey1, const std::string& cerKey2, \
        const std::string& colourScheme, const std::string& serialNumber, \
        const tiv::Variant& items), (cerKey1, cerKey2, colourScheme, serialNumber, items)) \
    X(bool, Conferencia_Formatada, (const std::string& colourScheme, const std::string& cerKey1, \
        const std::string& cerKey2, const std::string& serialNumber, const std::string& unused5, \
        const std::string& extraKey, std::string& receiptNumber, const std::string& text), \
        (colourScheme, cerKey1, cerKey2, serialNumber, unused5, extraKey, receiptNumber, text)) \
    X(bool, Cupom_Troca, (const std::string& colourScheme, const std::string& cerKey1, \
        const std::string& cerKey2, const std::string& text), \
        (colourScheme, cerKey1, cerKey2, text)) \
    X(bool, imprimeTipoRece, (const std::string& cerKey1, const std::string& cerKey2, \
        const std::string& colourScheme, const std::string& serialNumber, \
        const std::string& text), (cerKey1, cerKey2, colourScheme, serialNumber, text)) \
    /* Two routines the driver uses itself and the team chose to export too, \
       so a host can compose a receipt footer and read the credit-voucher \
       counter the same way the driver does. */ \
    X(std::string, Formata_rodape, (int32_t maxLines, const std::string& balanceMode, \
        const std::string& firstLine, const std::string& secondLine, const std::string& taxLine, \
        const std::string& lotteryLine, const std::string& customerCode, \
        const std::string& customerName, const std::string& consumerCode, \
        const std::string& consumerName, const std::string& operatorCode, \
        const std::string& operatorName, const std::string& tableLine, \
        const std::string& passwordLine, const std::string& unused15, \
        const std::string& unused16, const std::string& unused17, \
        const std::string& freeMessage, const std::string& ecfNumber, \
        const std::string& cerCounter, const std::string& receiptNumber, \
        const std::string& familyMode, const std::string& layout, double familyBalanceTotal, \
        double subsidisedPrice, double unused26, tiv::TClientDataSet* balances, \
        tiv::TClientDataSet* familyBalances, tiv::TClientDataSet* familyMovements, \
        bool printExtraLines, tiv::TStringList* extraLines, const std::string& pointsLine, \
        const std::string& extraPointsLine, const std::string& afterFamilyText, \
        const std::string& dailyConsumptionBalance, const std::string& fidelityDiscountLine), \
        (maxLines, balanceMode, firstLine, secondLine, taxLine, lotteryLine, customerCode, \
         customerName, consumerCode, consumerName, operatorCode, operatorName, tableLine, \
         passwordLine, unused15, unused16, unused17, freeMessage, ecfNumber, cerCounter, \
         receiptNumber, familyMode, layout, familyBalanceTotal, subsidisedPrice, unused26, \
         balances, familyBalances, familyMovements, printExtraLines, extraLines, pointsLine, \
         extraPointsLine, afterFamilyText, dailyConsumptionBalance, fidelityDiscountLine)) \
    X(bool, ContadorComprovantesCreditoMFD, (const std::string& colourScheme, \
        std::string& counter), (colourScheme, counter))
// clang-format on

#define TIV02000_DECLARE_PROCEDURE(ret, name, params, args) TIV_EXPORT ret name params;
extern "C" {
TIV02000_PROCEDURES(TIV02000_DECLARE_PROCEDURE)
}
#undef TIV02000_DECLARE_PROCEDURE

namespace tiv02000 {

// One pointer type per procedure, for a host that finds it with dlsym:
//   auto f = reinterpret_cast<tiv02000::fn::AbreCupom>(dlsym(h, "AbreCupom"));
namespace fn {
#define TIV02000_POINTER_TYPE(ret, name, params, args) using name = ret(*) params;
TIV02000_PROCEDURES(TIV02000_POINTER_TYPE)
#undef TIV02000_POINTER_TYPE
} // namespace fn

#define TIV02000_NAME(ret, name, params, args) std::string_view{#name},
inline constexpr std::array procedureNames{TIV02000_PROCEDURES(TIV02000_NAME)};
#undef TIV02000_NAME

// The first 80 names are the host's interface; the last two are the routines
// the team added to it.
inline constexpr std::size_t hostProcedureCount = 80;
static_assert(procedureNames.size() == hostProcedureCount + 2);

} // namespace tiv02000
