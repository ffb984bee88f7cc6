#!/usr/bin/env bash
# Times `tiv run` on scripts of N sales each, to show that a script's run time
# grows in step with its length. Each sale opens a receipt, sells three items
# and closes with a cash payment on a fresh virtual printer.
#
#   bash scripts/tiv-run-scaling.sh [BUILD_DIR] [N ...]      (default: build 40 150)
#
# Prints one line per N: the sales, the steps, the seconds and the seconds per
# sale. The scripts and transcripts are left in a temporary folder, named.
set -euo pipefail

build=${1:-build}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(40 150)

tiv="$build/bin/tiv"
[ -x "$tiv" ] || { echo "no $tiv: build first" >&2; exit 1; }
work=$(mktemp -d)

sale='{"call": "AbreCupom", "args": [{"ESQUEMACOR": "001", "INTTEFERRO": 0, "INCLUICPF": "",
   "INCLUINOME": "", "INCLUIENDERECO": "", "CUPNR": "", "CONTCUPOM": "", "IDUTILTEF": "N",
   "UTILTEF": false}]},'
item() {
    printf '{"call": "VendaItem", "args": [{"ESQUEMACOR": "001", "INTEFERRO": 0, "CDARVPROD": "%s",
   "NMPROD": "%s", "CDALIQ": "01", "QTDE": %s, "VALOR": %s, "DESCONT": 0, "UNIDADE": "UN",
   "IDUTILTEF": "N", "UTILTEF": false, "ACRESCIMO": 0}]},\n' "$1" "$2" "$3" "$4"
}
# FechaCupom's 62 arguments: the closing of a sale paid in cash.
closing() {
    local args=()
    for ((i = 0; i < 62; i++)); do args[i]=null; done
    args[0]='"CONTRA-VALE EMI"' args[1]='""' args[2]='"001"' args[4]=false args[5]=true
    args[6]=0 args[7]=0 args[8]=0 args[9]='"T"' args[10]='"Obrigado!"' args[11]=true
    args[13]='{"fields": [{"name": "IDTIPOMOVIVE", "type": "string", "size": 1},
      {"name": "CDTIPORECE", "type": "string", "size": 3}, {"name": "VRMOVIVEND", "type": "float"},
      {"name": "DTHRINCMOV", "type": "datetime"}, {"name": "NRORDTROCO", "type": "integer"}],
      "rows": [["E", "001", 50.0, null, 1]]}'
    args[14]="$payments"
    for i in 15 16 17 18 19 21; do args[i]='""'; done
    args[22]='"07"' args[23]='"MARIA"' args[27]='"2"' args[36]='"2"' args[43]='"SP"'
    args[51]=0 args[58]=0 args[60]=true
    local IFS=,
    printf '{"call": "FechaCupom", "args": [[%s], null, {"result": 4}]},\n' "${args[*]}"
}
payments='{"fields": [{"name": "CDTIPORECE", "type": "string", "size": 3},
  {"name": "NMTIPORECE", "type": "string", "size": 40}, {"name": "IDTIPORECE", "type": "string", "size": 1},
  {"name": "DSIMPFISCAL", "type": "string", "size": 50}, {"name": "CDFPIMPFIS", "type": "string", "size": 10},
  {"name": "IDTPBUTTON", "type": "string", "size": 1}, {"name": "IDMOSTRARECE", "type": "string", "size": 1},
  {"name": "IDEMIVALE", "type": "string", "size": 1}],
  "rows": [["001", "Dinheiro", "4", "Dinheiro", "", "5", "S", "N"]]}'

write_script() {
    local n=$1
    {
        echo '{"comment": "'"$n"' cash sales", "steps": ['
        echo '{"ecfsim": "Reset", "args": [{"clock": "2026-12-10 09:00:00"}]},'
        echo '{"call": "StartImpFiscal", "args": [{"CDFILIAL": "0001", "CDCAIXA": "001",
          "NRSERIEIMP": "EP0000000000000001", "ESQUEMA": "001", "CDPORTAIMPFIS": "COM1",
          "IDTIPOIMPFIS": 33, "BOUTILTAA": false}]},'
        echo '{"call": "CarregaRecebimento", "args": ["", "001", 0, '"$payments"']},'
        local closing_step
        closing_step=$(closing)
        for ((s = 0; s < n; s++)); do
            echo "$sale"
            item 7891000100103 "ARROZ TIPO 1 5KG" 1 24.90
            item 7891000200200 "FEIJAO CARIOCA 1KG" 2 8.49
            item 7891000300307 "REFRIGERANTE COLA 2L" 1 7.99
            echo "$closing_step"
        done
        echo '{"call": "StopImpFiscal"}]}'
    } >"$work/sales-$n.json"
}

for n in "${counts[@]}"; do
    write_script "$n"
    mkdir -p "$work/program-$n" "$work/printer-$n"
    start=$(date +%s.%N)
    ECFSIM_DIR="$work/printer-$n" TIV_PROGRAM_DIR="$work/program-$n" \
        "$tiv" run "$work/sales-$n.json" >"$work/transcript-$n.json"
    end=$(date +%s.%N)
    steps=$(grep -c '"step":' "$work/transcript-$n.json" || true)
    awk -v n="$n" -v steps="$steps" -v s="$start" -v e="$end" \
        'BEGIN { t = e - s; printf "%4d sales  %5d steps  %7.2f s  %6.3f s/sale\n", n, steps, t, t / n }'
done
echo "scripts and transcripts: $work"
