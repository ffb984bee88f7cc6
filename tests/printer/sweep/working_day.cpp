// A working day on the virtual printer, call by call, for the kill sweep: run with
// ECFSIM_KILL_AT set, it dies at the chosen point and the sweep checks what it left.
//
//   printer_working_day FOLDER day|reset [--trace]
//
// After each call it prints the call's number (with --trace, a tab and the printer's state as
// JSON), so the sweep knows what was done before the kill. A call that does not answer as
// expected ends it with status 3.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ecfsim/ecfsim.h"
#include "epson/entry_points.h"

#define ECFSIM_DAY_DECLARE(name, params, args) extern "C" int32_t name params;
EPSON_ENTRY_POINTS(ECFSIM_DAY_DECLARE)
#undef ECFSIM_DAY_DECLARE

namespace {

struct Step {
    const char *what;
    std::function<int32_t()> call;
    int32_t expect = 0; // -1 for a control's refusal, 1 for an entry point's
};

const char *kConfig = R"({"clock":"2024-03-01 09:00:00",
    "payments":["Dinheiro",{"name":"Cartao","linked":true}],"nonFiscal":["RECEBIMENTO"]})";

std::vector<Step> sale(const char *price) {
    return {
        {"open a receipt", [] { return EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2); }},
        {"sell an item",
         [=] {
             return EPSON_Fiscal_Vender_Item("9", "PAO", "0001000", 3, "UN", price, 3, "Ta", 1);
         }},
        {"pay cash", [] { return EPSON_Fiscal_Pagamento("Dinheiro", "999999", 2, "", ""); }},
        {"close the receipt", [] { return EPSON_Fiscal_Fechar_Cupom(1, 0); }},
    };
}

std::vector<Step> workingDay(const std::string &folder) {
    std::vector<Step> s = {
        {"open the folder", [=] { return ECFSIM_OpenFolder(folder.c_str()); }},
        {"reset", [] { return ECFSIM_Reset(kConfig); }},
        {"open the port", [] { return EPSON_Serial_Abrir_PortaEx(); }},
        {"open the day", [] { return EPSON_RelatorioFiscal_Abrir_Dia(); }},
        {"supply", [] { return EPSON_NaoFiscal_Fundo_Troco("10000", 2); }},
        // A receipt with every kind of line.
        {"open a receipt",
         [] { return EPSON_Fiscal_Abrir_Cupom("12345678909", "MARIA", "RUA A, 1", "", 2); }},
        {"item Ta",
         [] {
             return EPSON_Fiscal_Vender_Item("001", "ARROZ", "0002000", 3, "UN", "00012345", 3,
                                             "Ta", 1);
         }},
        {"item Tb",
         [] {
             return EPSON_Fiscal_Vender_Item("002", "FEIJAO", "0001500", 3, "KG", "00007990", 3,
                                             "Tb", 1);
         }},
        {"item discount", [] { return EPSON_Fiscal_Desconto_Acrescimo_Item("1000", 2, 1, 1); }},
        {"item F",
         [] {
             return EPSON_Fiscal_Vender_Item("003", "SAL", "0001000", 3, "UN", "00002500", 3, "F",
                                             1);
         }},
        {"item surcharge", [] { return EPSON_Fiscal_Desconto_Acrescimo_Item("50", 2, 0, 0); }},
        {"item Tc",
         [] {
             return EPSON_Fiscal_Vender_Item("004", "OLEO", "0003000", 3, "UN", "00006490", 3, "Tc",
                                             1);
         }},
        {"cancel item 4", [] { return EPSON_Fiscal_Cancelar_Item("0004"); }},
        {"unknown tax refused",
         [] {
             return EPSON_Fiscal_Vender_Item("005", "X", "0001000", 3, "UN", "00001000", 3, "Zz",
                                             1);
         },
         1},
        {"subtotal surcharge",
         [] { return EPSON_Fiscal_Desconto_Acrescimo_Subtotal("00000000150", 2, 0, 0); }},
        {"pay by card", [] { return EPSON_Fiscal_Pagamento("Cartao", "3000", 2, "", ""); }},
        {"unknown payment refused",
         [] { return EPSON_Fiscal_Pagamento("Cheque", "100", 2, "", ""); }, 1},
        {"pay cash with change",
         [] { return EPSON_Fiscal_Pagamento("Dinheiro", "5000", 2, "", ""); }},
        {"footer", [] { return EPSON_Fiscal_Imprimir_MensagemEX("VOLTE SEMPRE\nTRIBUTOS 31%"); }},
        {"close the receipt", [] { return EPSON_Fiscal_Fechar_Cupom(1, 0); }},
        {"status",
         [] {
             char b[21] = {};
             return EPSON_Obter_Estado_Impressora(b);
         }},
        // The card slip.
        {"open the card voucher",
         [] { return EPSON_NaoFiscal_Abrir_CCD("Cartao", "3000", 2, "1"); }},
        {"card voucher lines",
         [] { return EPSON_NaoFiscal_Imprimir_LinhaEX("TEF APROVADO\nVIA DO CLIENTE"); }},
        {"close the card voucher", [] { return EPSON_NaoFiscal_Fechar_Relatorio_Gerencial(1); }},
        // An ESC/ECF receipt, then cancelled after its close.
        {"ESC receipt", [] { return EPSON_ESC_ECF_Fiscal_Abrir_CupomEX("", "", ""); }},
        {"ESC item",
         [] {
             return EPSON_ESC_ECF_Fiscal_Vender_ItemEX("010", "CAFE", "Ta", "UN", "2000", "3",
                                                       "1599", "2", "A");
         }},
        {"ESC payment",
         [] { return EPSON_ESC_ECF_Fiscal_PagamentoEX("01", "4000", "0", "", "0"); }},
        {"ESC close", [] { return EPSON_ESC_ECF_Fiscal_Fechar_CupomEX("1", "", ""); }},
        {"cancel the last receipt", [] { return EPSON_Fiscal_Cancelar_Cupom(); }},
        // A receipt cancelled while open.
        {"open a receipt", [] { return EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2); }},
        {"item",
         [] {
             return EPSON_Fiscal_Vender_Item("011", "LEITE", "0006000", 3, "UN", "00004390", 3,
                                             "Td", 1);
         }},
        {"cancel the open receipt", [] { return EPSON_Fiscal_Cancelar_Cupom(); }},
        // A voucher.
        {"open a voucher", [] { return EPSON_NaoFiscal_Abrir_Comprovante("", "", "", "", 1); }},
        {"voucher entry", [] { return EPSON_NaoFiscal_Vender_Item("RECEBIMENTO", "5000", 2); }},
        {"voucher payment",
         [] { return EPSON_NaoFiscal_Pagamento("Dinheiro", "5000", 2, "", ""); }},
        {"close the voucher", [] { return EPSON_NaoFiscal_Fechar_Comprovante(1); }},
        // A management report.
        {"open a report", [] { return EPSON_NaoFiscal_Abrir_Relatorio_Gerencial("01"); }},
        {"report lines",
         [] { return EPSON_NaoFiscal_Imprimir_LinhaEX("FECHAMENTO DE CAIXA\nOPERADOR 1"); }},
        {"close the report", [] { return EPSON_NaoFiscal_Fechar_Relatorio_Gerencial(1); }},
        {"withdrawal", [] { return EPSON_NaoFiscal_Sangria("2000", 2); }},
        {"X reading", [] { return EPSON_RelatorioFiscal_LeituraX(); }},
        {"Z reduction", [] { return EPSON_RelatorioFiscal_RZEx(2); }},
        {"next day", [] { return ECFSIM_ShiftClock(86400); }},
        {"open the day", [] { return EPSON_RelatorioFiscal_Abrir_Dia(); }},
    };
    for (auto &step : sale("00001990"))
        s.push_back(step);
    return s;
}

// A used printer reset to another set-up mid-way: the reset is all or nothing.
std::vector<Step> resetMidway(const std::string &folder) {
    std::vector<Step> s = {
        {"open the folder", [=] { return ECFSIM_OpenFolder(folder.c_str()); }},
        {"reset", [] { return ECFSIM_Reset(kConfig); }},
        {"open the day", [] { return EPSON_RelatorioFiscal_Abrir_Dia(); }},
    };
    for (auto &step : sale("00002500"))
        s.push_back(step);
    s.push_back({"reset to another printer", [] {
                     return ECFSIM_Reset(R"({"serial":"EP0000000000000099","ecf":"002",
                         "clock":"2024-03-05 10:00:00","dayOpen":true})");
                 }});
    for (auto &step : sale("00001000"))
        s.push_back(step);
    return s;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER day|reset [--trace]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::string_view scenario = argv[2];
    const bool trace = argc > 3 && std::string_view(argv[3]) == "--trace";
    std::vector<Step> steps = scenario == "reset" ? resetMidway(folder) : workingDay(folder);
    std::setvbuf(stdout, nullptr, _IONBF, 0); // every line out before a kill
    for (std::size_t i = 0; i < steps.size(); ++i) {
        int32_t r = steps[i].call();
        if (r != steps[i].expect) {
            char status[21] = {};
            EPSON_Obter_Estado_Impressora(status);
            std::fprintf(stderr, "call %zu (%s) returned %d, status %s: %s\n", i + 1, steps[i].what,
                         r, status, ECFSIM_LastError());
            return 3;
        }
        if (trace)
            std::printf("%zu\t%s\n", i + 1, ECFSIM_State());
        else
            std::printf("%zu\n", i + 1);
    }
    return 0;
}
