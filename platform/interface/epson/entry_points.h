#pragma once
#include <cstdint>

// The vendor library's entry points, in binding order: 134 classic ones, then 55 ESC/ECF ones.
// The driver's binding and the virtual printer's exports both expand these lists, so the two
// sides can never disagree on a name or a function type. Every entry point returns int32_t.
//
// X(name, (params with types and names), (argument names))
//
// Reply buffers (char*) are allocated by the caller one byte larger than the size it passes;
// the library writes the reply's fixed length and a NUL. Entry points marked "own" are never
// called by the driver: their argument lists are the virtual printer's own choice.

#define EPSON_CLASSIC_ENTRY_POINTS(X)                                                              \
    /* own */ X(EPSON_Serial_Abrir_Porta, (int32_t dwVelocidade, int32_t wPorta),                  \
                (dwVelocidade, wPorta))                                                            \
    /* own */ X(EPSON_Serial_Abrir_PortaAD, (const char *pszPorta), (pszPorta))                    \
    X(EPSON_Serial_Abrir_PortaEx, (), ())                                                          \
    /* own */ X(EPSON_Serial_Fechar_Porta, (), ())                                                 \
    /* own */ X(EPSON_Serial_Obter_Estado_Com, (), ())                                             \
    X(EPSON_Fiscal_Abrir_Cupom,                                                                    \
      (const char *pszCNPJ_CPF, const char *pszRazaoSocial, const char *pszEndereco1,              \
       const char *pszEndereco2, int32_t dwPosicao),                                               \
      (pszCNPJ_CPF, pszRazaoSocial, pszEndereco1, pszEndereco2, dwPosicao))                        \
    /* own */ X(EPSON_Fiscal_Dados_Usuario,                                                        \
                (const char *pszCNPJ_CPF, const char *pszRazaoSocial, const char *pszEndereco1,    \
                 const char *pszEndereco2, int32_t dwPosicao),                                     \
                (pszCNPJ_CPF, pszRazaoSocial, pszEndereco1, pszEndereco2, dwPosicao))              \
    X(EPSON_Fiscal_Vender_Item,                                                                    \
      (const char *pszCodigo, const char *pszDescricao, const char *pszQuantidade,                 \
       int32_t dwQuantCasasDecimais, const char *pszUnidade, const char *pszPrecoUnidade,          \
       int32_t dwPrecoCasasDecimais, const char *pszAliquotas, int32_t dwLinhas),                  \
      (pszCodigo, pszDescricao, pszQuantidade, dwQuantCasasDecimais, pszUnidade, pszPrecoUnidade,  \
       dwPrecoCasasDecimais, pszAliquotas, dwLinhas))                                              \
    /* own */ X(EPSON_Fiscal_Obter_SubTotal, (char *pszSubTotal), (pszSubTotal))                   \
    X(EPSON_Fiscal_Pagamento,                                                                      \
      (const char *pszNumeroPagamento, const char *pszValorPagamento, int32_t dwCasasDecimais,     \
       const char *pszDescricao1, const char *pszDescricao2),                                      \
      (pszNumeroPagamento, pszValorPagamento, dwCasasDecimais, pszDescricao1, pszDescricao2))      \
    X(EPSON_Fiscal_Desconto_Acrescimo_Item,                                                        \
      (const char *pszValor, int32_t dwCasasDecimais, int32_t bDesconto, int32_t bPercentagem),    \
      (pszValor, dwCasasDecimais, bDesconto, bPercentagem))                                        \
    X(EPSON_Fiscal_Desconto_Acrescimo_Subtotal,                                                    \
      (const char *pszValor, int32_t dwCasasDecimais, int32_t bDesconto, int32_t bPercentagem),    \
      (pszValor, dwCasasDecimais, bDesconto, bPercentagem))                                        \
    X(EPSON_Fiscal_Cancelar_Cupom, (), ())                                                         \
    X(EPSON_Fiscal_Cancelar_Item, (const char *pszNumeroItem), (pszNumeroItem))                    \
    X(EPSON_Fiscal_Cancelar_Ultimo_Item, (), ())                                                   \
    /* own */ X(EPSON_Fiscal_Cancelar_Desconto_Acrescimo_Item, (int32_t bDesconto), (bDesconto))   \
    /* own */ X(EPSON_Fiscal_Cancelar_Acrescimo_Desconto_Subtotal, (int32_t bDesconto),            \
                (bDesconto))                                                                       \
    /* own */ X(EPSON_Fiscal_Cancelar_Item_Parcial,                                                \
                (const char *pszNumeroItem, const char *pszQuantidade, int32_t dwCasasDecimais),   \
                (pszNumeroItem, pszQuantidade, dwCasasDecimais))                                   \
    /* own */ X(EPSON_Fiscal_Imprimir_Mensagem, (const char *pszLinha), (pszLinha))                \
    X(EPSON_Fiscal_Imprimir_MensagemEX, (const char *pszLinhas), (pszLinhas))                      \
    /* own */ X(EPSON_Fiscal_Fechar_CupomEx, (int32_t bCortarPapel, int32_t bAdicional),           \
                (bCortarPapel, bAdicional))                                                        \
    X(EPSON_Fiscal_Fechar_Cupom, (int32_t bCortarPapel, int32_t bAdicional),                       \
      (bCortarPapel, bAdicional))                                                                  \
    /* own */ X(EPSON_Fiscal_Mensagem_Aplicacao, (const char *pszLinha1, const char *pszLinha2),   \
                (pszLinha1, pszLinha2))                                                            \
    X(EPSON_NaoFiscal_Abrir_Comprovante,                                                           \
      (const char *pszCNPJ_CPF, const char *pszRazaoSocial, const char *pszEndereco1,              \
       const char *pszEndereco2, int32_t dwPosicao),                                               \
      (pszCNPJ_CPF, pszRazaoSocial, pszEndereco1, pszEndereco2, dwPosicao))                        \
    X(EPSON_NaoFiscal_Vender_Item,                                                                 \
      (const char *pszTotalizador, const char *pszValor, int32_t dwCasasDecimais),                 \
      (pszTotalizador, pszValor, dwCasasDecimais))                                                 \
    /* own */ X(EPSON_NaoFiscal_Obter_SubTotal, (char *pszSubTotal), (pszSubTotal))                \
    /* own */ X(                                                                                   \
        EPSON_NaoFiscal_Desconto_Acrescimo_Item,                                                   \
        (const char *pszValor, int32_t dwCasasDecimais, int32_t bDesconto, int32_t bPercentagem),  \
        (pszValor, dwCasasDecimais, bDesconto, bPercentagem))                                      \
    /* own */ X(                                                                                   \
        EPSON_NaoFiscal_Desconto_Acrescimo_Subtotal,                                               \
        (const char *pszValor, int32_t dwCasasDecimais, int32_t bDesconto, int32_t bPercentagem),  \
        (pszValor, dwCasasDecimais, bDesconto, bPercentagem))                                      \
    X(EPSON_NaoFiscal_Pagamento,                                                                   \
      (const char *pszNumeroPagamento, const char *pszValorPagamento, int32_t dwCasasDecimais,     \
       const char *pszDescricao1, const char *pszDescricao2),                                      \
      (pszNumeroPagamento, pszValorPagamento, dwCasasDecimais, pszDescricao1, pszDescricao2))      \
    /* own */ X(EPSON_NaoFiscal_Cancelar_Item, (const char *pszNumeroItem), (pszNumeroItem))       \
    /* own */ X(EPSON_NaoFiscal_Cancelar_Ultimo_Item, (), ())                                      \
    /* own */ X(EPSON_NaoFiscal_Cancelar_Desconto_Acrescimo_Item, (int32_t bDesconto),             \
                (bDesconto))                                                                       \
    /* own */ X(EPSON_NaoFiscal_Cancelar_Desconto_Acrescimo_Subtotal, (int32_t bDesconto),         \
                (bDesconto))                                                                       \
    /* own */ X(EPSON_NaoFiscal_Cancelar_Comprovante, (), ())                                      \
    X(EPSON_NaoFiscal_Fechar_Comprovante, (int32_t bCortarPapel), (bCortarPapel))                  \
    X(EPSON_NaoFiscal_Abrir_CCD,                                                                   \
      (const char *pszNumeroPagamento, const char *pszValor, int32_t dwCasasDecimais,              \
       const char *pszParcelas),                                                                   \
      (pszNumeroPagamento, pszValor, dwCasasDecimais, pszParcelas))                                \
    X(EPSON_NaoFiscal_Abrir_Relatorio_Gerencial, (const char *pszNumeroRelatorio),                 \
      (pszNumeroRelatorio))                                                                        \
    X(EPSON_NaoFiscal_Imprimir_LinhaEX, (const char *pszLinhas), (pszLinhas))                      \
    /* own */ X(EPSON_NaoFiscal_Imprimir_Linha, (const char *pszLinha), (pszLinha))                \
    /* own */ X(EPSON_NaoFiscal_Imprimir_15Linhas, (const char *pszLinhas), (pszLinhas))           \
    X(EPSON_NaoFiscal_Fechar_CCD, (int32_t bCortarPapel), (bCortarPapel))                          \
    X(EPSON_NaoFiscal_Fechar_Relatorio_Gerencial, (int32_t bCortarPapel), (bCortarPapel))          \
    X(EPSON_NaoFiscal_Cancelar_CCD,                                                                \
      (const char *pszNumeroPagamento, const char *pszValor, int32_t dwCasasDecimais,              \
       const char *pszParcelas, const char *pszNumeroCupom),                                       \
      (pszNumeroPagamento, pszValor, dwCasasDecimais, pszParcelas, pszNumeroCupom))                \
    /* own */ X(EPSON_NaoFiscal_Cancelar_Pagamento,                                                \
                (const char *pszNumeroPagamento, const char *pszValor, int32_t dwCasasDecimais),   \
                (pszNumeroPagamento, pszValor, dwCasasDecimais))                                   \
    /* own */ X(EPSON_NaoFiscal_Nova_Parcela_CCD,                                                  \
                (const char *pszNumeroPagamento, const char *pszValor, int32_t dwCasasDecimais),   \
                (pszNumeroPagamento, pszValor, dwCasasDecimais))                                   \
    /* own */ X(EPSON_NaoFiscal_Nova_Via_CCD, (), ())                                              \
    /* own */ X(EPSON_NaoFiscal_Reimprimir_CCD, (), ())                                            \
    X(EPSON_NaoFiscal_Sangria, (const char *pszValor, int32_t dwCasasDecimais),                    \
      (pszValor, dwCasasDecimais))                                                                 \
    X(EPSON_NaoFiscal_Fundo_Troco, (const char *pszValor, int32_t dwCasasDecimais),                \
      (pszValor, dwCasasDecimais))                                                                 \
    /* own */ X(EPSON_NaoFiscal_Imprimir_Codigo_Barras, (int32_t dwTipo, const char *pszCodigo),   \
                (dwTipo, pszCodigo))                                                               \
    X(EPSON_RelatorioFiscal_LeituraX, (), ())                                                      \
    /* own */ X(EPSON_RelatorioFiscal_RZ, (), ())                                                  \
    X(EPSON_RelatorioFiscal_RZEx, (int32_t dwHorarioVerao), (dwHorarioVerao))                      \
    X(EPSON_RelatorioFiscal_Leitura_MF,                                                            \
      (const char *pszInicio, const char *pszFim, int32_t dwTipo, char *pszBuffer,                 \
       const char *pszArquivo, int32_t dwReservado, int32_t dwTamanhoBuffer),                      \
      (pszInicio, pszFim, dwTipo, pszBuffer, pszArquivo, dwReservado, dwTamanhoBuffer))            \
    /* own */ X(EPSON_RelatorioFiscal_Salvar_LeituraX, (const char *pszArquivo), (pszArquivo))     \
    X(EPSON_RelatorioFiscal_Abrir_Dia, (), ())                                                     \
    X(EPSON_Obter_Versao_SWBasico, (char *pszVersao, char *pszData, char *pszHora),                \
      (pszVersao, pszData, pszHora))                                                               \
    /* own */ X(EPSON_Obter_Dados_Usuario, (char *pszDados), (pszDados))                           \
    X(EPSON_Obter_Tabela_Aliquotas, (char *pszTabela), (pszTabela))                                \
    /* own */ X(EPSON_Obter_Total_Jornada, (char *pszTotal), (pszTotal))                           \
    X(EPSON_Obter_Tabela_Pagamentos, (char *pszTabela), (pszTabela))                               \
    X(EPSON_Obter_Tabela_NaoFiscais, (char *pszTabela), (pszTabela))                               \
    /* own */ X(EPSON_Obter_Tabela_Relatorios_Gerenciais, (char *pszTabela), (pszTabela))          \
    X(EPSON_Obter_Total_Cancelado, (char *pszTotal), (pszTotal))                                   \
    /* own */ X(EPSON_Obter_Total_Aliquotas, (char *pszTotal), (pszTotal))                         \
    /* own */ X(EPSON_Obter_Total_Bruto, (char *pszTotal), (pszTotal))                             \
    X(EPSON_Obter_Total_Descontos, (char *pszTotal), (pszTotal))                                   \
    /* own */ X(EPSON_Obter_Total_Troco, (char *pszTotal), (pszTotal))                             \
    X(EPSON_Obter_Total_Acrescimos, (char *pszTotal), (pszTotal))                                  \
    X(EPSON_Obter_Dados_Impressora, (char *pszDados), (pszDados))                                  \
    /* own */ X(EPSON_Obter_Cliche_Usuario, (char *pszCliche), (pszCliche))                        \
    X(EPSON_Obter_Data_Hora_Jornada, (char *pszDataHora), (pszDataHora))                           \
    X(EPSON_Obter_Numero_ECF_Loja, (char *pszNumero), (pszNumero))                                 \
    X(EPSON_Obter_Hora_Relogio, (char *pszDataHora), (pszDataHora))                                \
    /* own */ X(EPSON_Obter_Simbolo_Moeda, (char *pszSimbolo), (pszSimbolo))                       \
    /* own */ X(EPSON_Obter_Casas_Decimais, (char *pszCasas), (pszCasas))                          \
    X(EPSON_Obter_Contadores, (char *pszContadores), (pszContadores))                              \
    X(EPSON_Obter_Estado_Impressora, (char *pszEstado), (pszEstado))                               \
    X(EPSON_Obter_GT, (char *pszGT), (pszGT))                                                      \
    /* own */ X(EPSON_Obter_Linhas_Impressas, (char *pszLinhas), (pszLinhas))                      \
    /* own */ X(EPSON_Obter_Linhas_Impressas_RG, (char *pszLinhas), (pszLinhas))                   \
    /* own */ X(EPSON_Obter_Linhas_Impressas_CCD, (char *pszLinhas), (pszLinhas))                  \
    /* own */ X(EPSON_Obter_Linhas_Impressas_Vendas, (char *pszLinhas), (pszLinhas))               \
    /* own */ X(EPSON_Obter_Linhas_Impressas_Pagamentos, (char *pszLinhas), (pszLinhas))           \
    /* own */ X(EPSON_Obter_Total_Itens_Vendidos, (char *pszTotal), (pszTotal))                    \
    /* own */ X(EPSON_Obter_Estado_Memoria_Fiscal, (char *pszEstado), (pszEstado))                 \
    /* own */ X(EPSON_Obter_Estado_MFD, (char *pszEstado), (pszEstado))                            \
    /* own */ X(EPSON_Obter_Total_Leituras_X_Impressas, (char *pszTotal), (pszTotal))              \
    X(EPSON_Obter_Dados_Jornada, (char *pszDados), (pszDados))                                     \
    /* own */ X(EPSON_Obter_Caracteres_Linha, (char *pszCaracteres), (pszCaracteres))              \
    /* own */ X(EPSON_Obter_Operador, (char *pszOperador), (pszOperador))                          \
    /* own */ X(EPSON_Obter_Numero_Ultimo_Item, (char *pszNumero), (pszNumero))                    \
    /* own */ X(EPSON_Obter_Informacao_Item, (const char *pszNumeroItem, char *pszDados),          \
                (pszNumeroItem, pszDados))                                                         \
    X(EPSON_Obter_Estado_Cupom, (char *pszEstado), (pszEstado))                                    \
    /* own */ X(EPSON_Obter_Informacao_Ultimo_Documento, (char *pszDados), (pszDados))             \
    /* own */ X(EPSON_Obter_Estado_Corte_Papel, (char *pszEstado), (pszEstado))                    \
    X(EPSON_Obter_Estado_Horario_Verao, (uint8_t * pbHorarioVerao), (pbHorarioVerao))              \
    X(EPSON_Obter_Venda_Bruta, (char *pszVendaBruta, char *pszVendaBrutaUltimaRZ),                 \
      (pszVendaBruta, pszVendaBrutaUltimaRZ))                                                      \
    /* own */ X(EPSON_Obter_Mensagem_Erro, (const char *pszCodigo, char *pszMensagem),             \
                (pszCodigo, pszMensagem))                                                          \
    X(EPSON_Obter_Dados_MF_MFD,                                                                    \
      (const char *pszInicio, const char *pszFim, int32_t dwTipoFaixa, int32_t dwEspelhos,         \
       int32_t dwTipoArquivo, int32_t dwReservado, const char *pszArquivo),                        \
      (pszInicio, pszFim, dwTipoFaixa, dwEspelhos, dwTipoArquivo, dwReservado, pszArquivo))        \
    /* own */ X(EPSON_Obter_Versao_DLL, (char *pszVersao), (pszVersao))                            \
    /* own */ X(EPSON_Obter_Total_JornadaEX, (char *pszTotal), (pszTotal))                         \
    /* own */ X(EPSON_Obter_Dados_Arquivos_MF_MFD, (char *pszDados), (pszDados))                   \
    X(EPSON_Obter_Codigo_Nacional_ECF, (char *pszCodigo, char *pszDescricao),                      \
      (pszCodigo, pszDescricao))                                                                   \
    /* own */ X(EPSON_Separar_AtoCOTEPE, (const char *pszOrigem, const char *pszDestino),          \
                (pszOrigem, pszDestino))                                                           \
    /* own */ X(EPSON_Salvar_Binario_MF, (const char *pszArquivo), (pszArquivo))                   \
    X(EPSON_Obter_Arquivo_Binario_MFD, (const char *pszArquivo), (pszArquivo))                     \
    X(EPSON_Obter_Arquivo_Binario_MF, (const char *pszArquivo), (pszArquivo))                      \
    X(EPSON_Obter_Dados_Ultima_RZ, (char *pszDados), (pszDados))                                   \
    /* own */ X(EPSON_Config_Aliquota, (const char *pszAliquota, int32_t bISS),                    \
                (pszAliquota, bISS))                                                               \
    /* own */ X(EPSON_Config_Relatorio_Gerencial, (const char *pszDescricao), (pszDescricao))      \
    X(EPSON_Config_Forma_Pagamento,                                                                \
      (int32_t bVinculado, const char *pszNumero, const char *pszDescricao),                       \
      (bVinculado, pszNumero, pszDescricao))                                                       \
    X(EPSON_Config_Totalizador_NaoFiscal, (const char *pszDescricao, int32_t *pdwTotalizador),     \
      (pszDescricao, pdwTotalizador))                                                              \
    /* own */ X(EPSON_Config_Corte_Papel, (int32_t bCortar), (bCortar))                            \
    /* own */ X(EPSON_Config_Horario_Verao, (int32_t bHorarioVerao), (bHorarioVerao))              \
    /* own */ X(EPSON_Config_Espaco_Entre_Documentos, (int32_t dwLinhas), (dwLinhas))              \
    /* own */ X(EPSON_Config_Espaco_Entre_Linhas, (int32_t dwPontos), (dwPontos))                  \
    /* own */ X(EPSON_Config_Logotipo, (const char *pszArquivo), (pszArquivo))                     \
    /* own */ X(EPSON_Config_Habilita_Logotipo, (int32_t bHabilita), (bHabilita))                  \
    /* own */ X(EPSON_Config_Operador, (const char *pszOperador), (pszOperador))                   \
    /* own */ X(EPSON_Config_Dados_Sintegra, (const char *pszDados), (pszDados))                   \
    /* own */ X(                                                                                   \
        EPSON_Download_Segmentado_MFD,                                                             \
        (const char *pszInicio, const char *pszFim, int32_t dwTipo, const char *pszArquivo),       \
        (pszInicio, pszFim, dwTipo, pszArquivo))                                                   \
    X(EPSON_Impressora_Abrir_Gaveta, (), ())                                                       \
    /* own */ X(EPSON_Impressora_Avancar_Papel, (int32_t dwLinhas), (dwLinhas))                    \
    /* own */ X(EPSON_Impressora_Cortar_Papel, (), ())                                             \
    /* own */ X(EPSON_Autenticar_Imprimir, (const char *pszLinha), (pszLinha))                     \
    /* own */ X(EPSON_Autenticar_Reimprimir, (), ())                                               \
    /* own */ X(EPSON_Sys_Informar_Handle_Janela, (int32_t dwHandle), (dwHandle))                  \
    /* own */ X(EPSON_Sys_Atualizar_Janela, (), ())                                                \
    /* own */ X(EPSON_Sys_Aguardar_Arquivo, (const char *pszArquivo, int32_t dwEspera),            \
                (pszArquivo, dwEspera))                                                            \
    X(EPSON_Sys_Bloquear_Entradas, (int32_t bBloquear), (bBloquear))                               \
    X(EPSON_Sys_Log, (const char *pszPasta, int32_t dwNivel), (pszPasta, dwNivel))                 \
    X(EPSON_Config_Habilita_EAD, (int32_t bHabilita), (bHabilita))                                 \
    X(EPSON_Config_Habilita_CAT52_Auto, (int32_t bHabilita), (bHabilita))

// ESC/ECF entry points take their flags and numbers as texts.
#define EPSON_ESC_ECF_ENTRY_POINTS(X)                                                              \
    X(EPSON_ESC_ECF_Fiscal_Abrir_CupomEX,                                                          \
      (const char *pszCNPJ_CPF, const char *pszNome, const char *pszEndereco),                     \
      (pszCNPJ_CPF, pszNome, pszEndereco))                                                         \
    X(EPSON_ESC_ECF_Fiscal_Vender_ItemEX,                                                          \
      (const char *pszCodigo, const char *pszDescricao, const char *pszAliquota,                   \
       const char *pszUnidade, const char *pszQuantidade, const char *pszCasasQuantidade,          \
       const char *pszPrecoUnidade, const char *pszCasasPreco, const char *pszArredondamento),     \
      (pszCodigo, pszDescricao, pszAliquota, pszUnidade, pszQuantidade, pszCasasQuantidade,        \
       pszPrecoUnidade, pszCasasPreco, pszArredondamento))                                         \
    X(EPSON_ESC_ECF_Fiscal_Cancelar_ItemEX, (const char *pszNumeroItem), (pszNumeroItem))          \
    X(EPSON_ESC_ECF_Fiscal_PagamentoEX,                                                            \
      (const char *pszCodigo, const char *pszValor, const char *pszFlag, const char *pszDescricao, \
       const char *pszTipo),                                                                       \
      (pszCodigo, pszValor, pszFlag, pszDescricao, pszTipo))                                       \
    X(EPSON_ESC_ECF_Fiscal_Fechar_CupomEX,                                                         \
      (const char *pszCortarPapel, const char *pszAdicional, const char *pszReservado),            \
      (pszCortarPapel, pszAdicional, pszReservado))                                                \
    /* own */ X(EPSON_ESC_ECF_Fiscal_Cancelar_Cupom, (), ())                                       \
    X(EPSON_ESC_ECF_Desconto_Acrescimo_ItemEX,                                                     \
      (const char *pszTipo, const char *pszFlag, const char *pszValor, const char *pszReservado),  \
      (pszTipo, pszFlag, pszValor, pszReservado))                                                  \
    X(EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX,                                                 \
      (const char *pszTipo, const char *pszFlag, const char *pszValor),                            \
      (pszTipo, pszFlag, pszValor))                                                                \
    /* own */ X(                                                                                   \
        EPSON_ESC_ECF_Fiscal_Vender_Item_Detalhado,                                                \
        (const char *pszCodigo, const char *pszDescricao, const char *pszAliquota,                 \
         const char *pszUnidade, const char *pszQuantidade, const char *pszCasasQuantidade,        \
         const char *pszPrecoUnidade, const char *pszCasasPreco, const char *pszArredondamento,    \
         const char *pszDetalhe),                                                                  \
        (pszCodigo, pszDescricao, pszAliquota, pszUnidade, pszQuantidade, pszCasasQuantidade,      \
         pszPrecoUnidade, pszCasasPreco, pszArredondamento, pszDetalhe))                           \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Abrir_CCD,                                                 \
                (const char *pszIndice, const char *pszPagamento, const char *pszParcelas),        \
                (pszIndice, pszPagamento, pszParcelas))                                            \
    X(EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX,                                                         \
      (const char *pszIndice, const char *pszPagamento, const char *pszParcelas,                   \
       const char *pszParcela, const char *pszCPF, const char *pszNome, const char *pszEndereco),  \
      (pszIndice, pszPagamento, pszParcelas, pszParcela, pszCPF, pszNome, pszEndereco))            \
    X(EPSON_ESC_ECF_NaoFiscal_Imprimir_Linha, (const char *pszLinhas), (pszLinhas))                \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RG, (), ())                                     \
    X(EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RGEX, (const char *pszCortarPapel), (pszCortarPapel))     \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Abrir_Relatorio_Gerencial, (const char *pszNumero),        \
                (pszNumero))                                                                       \
    X(EPSON_ESC_ECF_NaoFiscal_Abrir_Relatorio_GerencialEX, (const char *pszNumero), (pszNumero))   \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Cancelar_CCD, (), ())                                      \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Cancelar_CCDEX, (const char *pszNumeroCupom),              \
                (pszNumeroCupom))                                                                  \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Nova_Via_CCD, (), ())                                      \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Reimprimir_CCD, (), ())                                    \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Abrir_Comprovante, (), ())                                 \
    X(EPSON_ESC_ECF_NaoFiscal_Abrir_ComprovanteEX,                                                 \
      (const char *pszCNPJ_CPF, const char *pszNome, const char *pszEndereco),                     \
      (pszCNPJ_CPF, pszNome, pszEndereco))                                                         \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Vender_Item,                                               \
                (const char *pszTotalizador, const char *pszValor), (pszTotalizador, pszValor))    \
    X(EPSON_ESC_ECF_NaoFiscal_Vender_ItemEX, (const char *pszTotalizador, const char *pszValor),   \
      (pszTotalizador, pszValor))                                                                  \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Fechar_Comprovante, (), ())                                \
    X(EPSON_ESC_ECF_NaoFiscal_Fechar_ComprovanteEX,                                                \
      (const char *pszCortarPapel, const char *pszReservado), (pszCortarPapel, pszReservado))      \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Cancelar_Pagamento, (const char *pszCodigo), (pszCodigo))  \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Cancelar_PagamentoEX,                                      \
                (const char *pszCodigo, const char *pszValor), (pszCodigo, pszValor))              \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Sangria_Fundo_Troco,                                       \
                (const char *pszTipo, const char *pszValor), (pszTipo, pszValor))                  \
    X(EPSON_ESC_ECF_NaoFiscal_Sangria_Fundo_TrocoEX,                                               \
      (const char *pszTipo, const char *pszValor, const char *pszReservado),                       \
      (pszTipo, pszValor, pszReservado))                                                           \
    /* own */ X(EPSON_ESC_ECF_NaoFiscal_Imprime_QRCode, (const char *pszDados), (pszDados))        \
    /* own */ X(EPSON_ESC_ECF_RelatorioFiscal_LeituraXEX, (), ())                                  \
    X(EPSON_ESC_ECF_RelatorioFiscal_RZEX,                                                          \
      (const char *pszData, const char *pszHora, const char *pszHorarioVerao),                     \
      (pszData, pszHora, pszHorarioVerao))                                                         \
    X(EPSON_ESC_ECF_RelatorioFiscal_Leitura_MFEX,                                                  \
      (const char *pszTipoLeitura, const char *pszTipoFaixa, const char *pszInicio,                \
       const char *pszFim),                                                                        \
      (pszTipoLeitura, pszTipoFaixa, pszInicio, pszFim))                                           \
    /* own */ X(EPSON_ESC_ECF_RelatorioFiscal_Imprime_RTD_RZ, (const char *pszCRZ), (pszCRZ))      \
    /* own */ X(EPSON_ESC_ECF_RelatorioFiscal_Reimprimir_MFD,                                      \
                (const char *pszInicio, const char *pszFim), (pszInicio, pszFim))                  \
    X(EPSON_ESC_ECF_Obter_Dados, (const char *pszGrupo, const char *pszIndice, char *pszDados),    \
      (pszGrupo, pszIndice, pszDados))                                                             \
    /* own */ X(EPSON_ESC_ECF_Obter_Binario_SB, (const char *pszArquivo), (pszArquivo))            \
    /* own */ X(EPSON_ESC_ECF_Obter_Binario_MF, (const char *pszArquivo), (pszArquivo))            \
    /* own */ X(EPSON_ESC_ECF_Obter_Binario_MFD,                                                   \
                (const char *pszInicio, const char *pszFim, const char *pszArquivo),               \
                (pszInicio, pszFim, pszArquivo))                                                   \
    /* own */ X(EPSON_ESC_ECF_Obter_Binario_TDM,                                                   \
                (const char *pszInicio, const char *pszFim, const char *pszArquivo),               \
                (pszInicio, pszFim, pszArquivo))                                                   \
    /* own */ X(EPSON_ESC_ECF_Obter_Versao_Comandos, (char *pszVersao), (pszVersao))               \
    /* own */ X(EPSON_ESC_ECF_Obter_XML_Cupom_Fiscal,                                              \
                (const char *pszNumeroCupom, const char *pszArquivo),                              \
                (pszNumeroCupom, pszArquivo))                                                      \
    /* own */ X(EPSON_ESC_ECF_Obter_Tabela_NaoFiscais, (char *pszTabela), (pszTabela))             \
    /* own */ X(EPSON_ESC_ECF_Config_Mensagem_Aplicacao,                                           \
                (const char *pszLinha1, const char *pszLinha2), (pszLinha1, pszLinha2))            \
    X(EPSON_ESC_ECF_Config_Horario_Verao, (const char *pszHorarioVerao), (pszHorarioVerao))        \
    /* own */ X(EPSON_ESC_ECF_Config_Aliquota, (const char *pszAliquota, const char *pszTipo),     \
                (pszAliquota, pszTipo))                                                            \
    X(EPSON_ESC_ECF_Config_Forma_Pagamento,                                                        \
      (const char *pszNumero, const char *pszDescricao, const char *pszVinculado),                 \
      (pszNumero, pszDescricao, pszVinculado))                                                     \
    X(EPSON_ESC_ECF_Config_Totalizador_NaoFiscal,                                                  \
      (const char *pszNumero, const char *pszDescricao, const char *pszTipo),                      \
      (pszNumero, pszDescricao, pszTipo))                                                          \
    /* own */ X(EPSON_ESC_ECF_Config_Relatorio_Gerencial,                                          \
                (const char *pszNumero, const char *pszDescricao), (pszNumero, pszDescricao))      \
    /* own */ X(EPSON_ESC_ECF_Config_Loja,                                                         \
                (const char *pszCNPJ, const char *pszIE, const char *pszIM),                       \
                (pszCNPJ, pszIE, pszIM))                                                           \
    /* own */ X(EPSON_ESC_ECF_Config_Dados_Consumidor_Rodape, (const char *pszFlag), (pszFlag))    \
    /* own */ X(EPSON_ESC_ECF_Config_Operador, (const char *pszOperador), (pszOperador))           \
    X(EPSON_ESC_ECF_Impressora_Abrir_Gaveta, (), ())                                               \
    /* own */ X(EPSON_ESC_ECF_Impressora_Cortar_Papel, (), ())

#define EPSON_ENTRY_POINTS(X) EPSON_CLASSIC_ENTRY_POINTS(X) EPSON_ESC_ECF_ENTRY_POINTS(X)
