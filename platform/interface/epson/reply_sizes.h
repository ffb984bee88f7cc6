#pragma once
#include <array>
#include <cstddef>
#include <string_view>

// The reply buffers of the entry points whose answers the driver reads: the size of each buffer,
// in argument order, in characters. The driver allocates each one byte larger, for the NUL; the
// library writes at most this many characters and a NUL. Where two callers pass different sizes,
// this is the smaller. EPSON_Obter_Estado_Horario_Verao answers one byte.
namespace epson {

struct ReplySizes {
    std::string_view entry;
    std::array<std::size_t, 3> sizes; // 0: no further buffer
};

inline constexpr ReplySizes kReplySizes[] = {
    {"EPSON_Obter_Estado_Impressora", {20}},
    {"EPSON_Obter_GT", {20}},
    {"EPSON_Obter_Dados_Jornada", {67}},
    {"EPSON_Obter_Hora_Relogio", {14}},
    {"EPSON_Obter_Data_Hora_Jornada", {15}},
    {"EPSON_Obter_Venda_Bruta", {15, 15}},
    {"EPSON_Obter_Numero_ECF_Loja", {10}},
    {"EPSON_Obter_Dados_Impressora", {110}},
    {"EPSON_Obter_Contadores", {84}},
    {"EPSON_Obter_Total_Cancelado", {51}},
    {"EPSON_Obter_Total_Descontos", {51}},
    {"EPSON_Obter_Total_Acrescimos", {51}},
    {"EPSON_Obter_Tabela_Aliquotas", {553}},
    {"EPSON_Obter_Tabela_NaoFiscais", {681}},
    {"EPSON_Obter_Tabela_Pagamentos", {881}},
    {"EPSON_ESC_ECF_Obter_Dados", {1024}},
    {"EPSON_Obter_Dados_Ultima_RZ", {1167}},
    {"EPSON_Obter_Versao_SWBasico", {9, 9, 7}},
    {"EPSON_Obter_Codigo_Nacional_ECF", {7, 33}},
    {"EPSON_Obter_Estado_Cupom", {58}},
    {"EPSON_Obter_Informacao_Ultimo_Documento", {40}},
    {"EPSON_Obter_Estado_Horario_Verao", {1}},
};

// The sizes for `entry`, or nullptr when its reply is not one the driver reads.
constexpr const ReplySizes *replySizes(std::string_view entry) {
    for (const auto &r : kReplySizes)
        if (r.entry == entry) return &r;
    return nullptr;
}

} // namespace epson
