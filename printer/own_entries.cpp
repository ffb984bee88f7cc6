// Entry points the driver never calls. They take the argument lists chosen in the shared
// list and are accepted without effect (reply buffers are left as the caller passed them),
// except those that would write files, which are refused until file output exists.
#include "document.h"
#include "entry_impl.h"

namespace ecfsim {

namespace {
int32_t accepted() {
    return rules::P().query([] {});
}
int32_t filesLater() {
    return rules::P().query([] { throw Refusal{Code::FilesLater}; });
}
} // namespace

int32_t impl::EPSON_Serial_Abrir_Porta(int32_t, int32_t) {
    return accepted();
}
int32_t impl::EPSON_Serial_Abrir_PortaAD(const char *) {
    return accepted();
}
int32_t impl::EPSON_Serial_Fechar_Porta() {
    return accepted();
}
int32_t impl::EPSON_Serial_Obter_Estado_Com() {
    return accepted();
}
int32_t impl::EPSON_Fiscal_Dados_Usuario(const char *, const char *, const char *, const char *,
                                         int32_t) {
    return accepted();
}
int32_t impl::EPSON_Fiscal_Obter_SubTotal(char *) {
    return accepted();
}
int32_t impl::EPSON_Fiscal_Cancelar_Desconto_Acrescimo_Item(int32_t) {
    return accepted();
}
int32_t impl::EPSON_Fiscal_Cancelar_Acrescimo_Desconto_Subtotal(int32_t) {
    return accepted();
}
int32_t impl::EPSON_Fiscal_Cancelar_Item_Parcial(const char *, const char *, int32_t) {
    return accepted();
}
int32_t impl::EPSON_Fiscal_Imprimir_Mensagem(const char *) {
    return accepted();
}
int32_t impl::EPSON_Fiscal_Mensagem_Aplicacao(const char *, const char *) {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Obter_SubTotal(char *) {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Cancelar_Item(const char *) {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Cancelar_Ultimo_Item() {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Cancelar_Desconto_Acrescimo_Item(int32_t) {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Cancelar_Desconto_Acrescimo_Subtotal(int32_t) {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Cancelar_Comprovante() {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Cancelar_Pagamento(const char *, const char *, int32_t) {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Nova_Parcela_CCD(const char *, const char *, int32_t) {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Nova_Via_CCD() {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Reimprimir_CCD() {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Imprimir_Codigo_Barras(int32_t, const char *) {
    return accepted();
}
int32_t impl::EPSON_RelatorioFiscal_Salvar_LeituraX(const char *) {
    return filesLater();
}
int32_t impl::EPSON_Obter_Dados_Usuario(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Total_Jornada(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Tabela_Relatorios_Gerenciais(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Total_Aliquotas(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Cliche_Usuario(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Simbolo_Moeda(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Casas_Decimais(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Linhas_Impressas(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Linhas_Impressas_RG(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Linhas_Impressas_CCD(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Linhas_Impressas_Vendas(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Linhas_Impressas_Pagamentos(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Total_Itens_Vendidos(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Estado_Memoria_Fiscal(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Estado_MFD(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Total_Leituras_X_Impressas(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Caracteres_Linha(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Operador(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Numero_Ultimo_Item(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Informacao_Item(const char *, char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Estado_Corte_Papel(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Mensagem_Erro(const char *, char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Versao_DLL(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Total_JornadaEX(char *) {
    return accepted();
}
int32_t impl::EPSON_Obter_Dados_Arquivos_MF_MFD(char *) {
    return accepted();
}
int32_t impl::EPSON_Separar_AtoCOTEPE(const char *, const char *) {
    return filesLater();
}
int32_t impl::EPSON_Salvar_Binario_MF(const char *) {
    return filesLater();
}
int32_t impl::EPSON_Config_Relatorio_Gerencial(const char *) {
    return accepted();
}
int32_t impl::EPSON_Config_Corte_Papel(int32_t) {
    return accepted();
}
int32_t impl::EPSON_Config_Espaco_Entre_Documentos(int32_t) {
    return accepted();
}
int32_t impl::EPSON_Config_Espaco_Entre_Linhas(int32_t) {
    return accepted();
}
int32_t impl::EPSON_Config_Logotipo(const char *) {
    return accepted();
}
int32_t impl::EPSON_Config_Habilita_Logotipo(int32_t) {
    return accepted();
}
int32_t impl::EPSON_Config_Operador(const char *) {
    return accepted();
}
int32_t impl::EPSON_Config_Dados_Sintegra(const char *) {
    return accepted();
}
int32_t impl::EPSON_Impressora_Avancar_Papel(int32_t) {
    return accepted();
}
int32_t impl::EPSON_Impressora_Cortar_Papel() {
    return accepted();
}
int32_t impl::EPSON_Autenticar_Imprimir(const char *) {
    return accepted();
}
int32_t impl::EPSON_Autenticar_Reimprimir() {
    return accepted();
}
int32_t impl::EPSON_Sys_Informar_Handle_Janela(int32_t) {
    return accepted();
}
int32_t impl::EPSON_Sys_Atualizar_Janela() {
    return accepted();
}
int32_t impl::EPSON_Sys_Aguardar_Arquivo(const char *, int32_t) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_NaoFiscal_Nova_Via_CCD() {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_NaoFiscal_Reimprimir_CCD() {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_NaoFiscal_Cancelar_Pagamento(const char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_NaoFiscal_Cancelar_PagamentoEX(const char *, const char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_NaoFiscal_Imprime_QRCode(const char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_RelatorioFiscal_Imprime_RTD_RZ(const char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_RelatorioFiscal_Reimprimir_MFD(const char *, const char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_Obter_Binario_SB(const char *) {
    return filesLater();
}
int32_t impl::EPSON_ESC_ECF_Obter_Binario_MF(const char *) {
    return filesLater();
}
int32_t impl::EPSON_ESC_ECF_Obter_Binario_MFD(const char *, const char *, const char *) {
    return filesLater();
}
int32_t impl::EPSON_ESC_ECF_Obter_Binario_TDM(const char *, const char *, const char *) {
    return filesLater();
}
int32_t impl::EPSON_ESC_ECF_Obter_Versao_Comandos(char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_Obter_XML_Cupom_Fiscal(const char *, const char *) {
    return filesLater();
}
int32_t impl::EPSON_ESC_ECF_Config_Mensagem_Aplicacao(const char *, const char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_Config_Relatorio_Gerencial(const char *, const char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_Config_Loja(const char *, const char *, const char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_Config_Dados_Consumidor_Rodape(const char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_Config_Operador(const char *) {
    return accepted();
}
int32_t impl::EPSON_ESC_ECF_Impressora_Cortar_Papel() {
    return accepted();
}

int32_t impl::EPSON_NaoFiscal_Desconto_Acrescimo_Item(const char *, int32_t, int32_t, int32_t) {
    return accepted();
}
int32_t impl::EPSON_NaoFiscal_Desconto_Acrescimo_Subtotal(const char *, int32_t, int32_t, int32_t) {
    return accepted();
}
int32_t impl::EPSON_Download_Segmentado_MFD(const char *, const char *, int32_t, const char *) {
    return filesLater();
}

} // namespace ecfsim
