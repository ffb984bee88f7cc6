#!/usr/bin/env python3
"""Writes the seed inputs of the printer and driver_replies targets into corpus/.

The targets decode their bytes as fuzz_input.h reads them. The printer seeds
are ordinary working call sequences spelt in that encoding; the driver seeds
are runs of the driver whose replies were recorded from the virtual printer
(the driver target's $TIV_FUZZ_RECORD mode), so fuzzing starts from what a
printer really answers. Needs a build with the replay programs:

    python3 fuzz/make_seeds.py [BUILD_DIR]      (default: build)
"""
import os
import pathlib
import re
import struct
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
ENTRY_POINTS = HERE.parent / "platform/interface/epson/entry_points.h"


def entry_points():
    """(name, [parameter types]) in the order of the shared list."""
    text = ENTRY_POINTS.read_text().replace("\\\n", " ")
    text = re.sub(r"/\*.*?\*/", " ", text)
    out = []
    for name, params in re.findall(r"X\(\s*(EPSON_\w+),\s*\(([^)]*)\)", text):
        types = []
        for p in filter(None, (p.strip() for p in params.split(","))):
            p = re.sub(r"\s+", " ", p)
            if p.startswith("const char"):
                types.append("text")
            elif p.startswith("char"):
                types.append("reply")
            elif p.startswith("int32_t *") or p.startswith("int32_t*"):
                types.append("int_out")
            elif p.startswith("uint8_t"):
                types.append("byte_out")
            else:
                types.append("int")
        out.append((name, types))
    return out


def int32(v):
    if -8 <= v < 88:
        return bytes([v + 8])
    return bytes([0xFF]) + struct.pack(">i", v)


def text(s):
    b = s.encode("cp1252") if isinstance(s, str) else s
    if len(b) < 255:
        return bytes([len(b)]) + b
    return bytes([255]) + struct.pack(">H", len(b)) + b


ENTRIES = entry_points()
INDEX = {name: i for i, (name, _) in enumerate(ENTRIES)}


def call(name, *args):
    """One call of the printer target: the entry's index, then its arguments."""
    i = INDEX[name]
    out = bytes([i >> 8, i & 0xFF])
    values = iter(args)
    for t in ENTRIES[i][1]:
        if t == "text":
            out += b"\x00" + text(next(values))
        elif t in ("int", "int_out"):
            out += int32(next(values))
        elif t == "byte_out":
            out += b"\x00"
    return out


def printer_seeds():
    sale = (call("EPSON_Fiscal_Abrir_Cupom", "123.456.789-09", "JOAO", "RUA A", "", 1)
            + call("EPSON_Fiscal_Vender_Item", "7891000100103", "ARROZ TIPO 1", "1000", 3,
                   "UN", "2490", 2, "T01", 1)
            + call("EPSON_Fiscal_Desconto_Acrescimo_Item", "100", 2, 1, 0)
            + call("EPSON_Fiscal_Pagamento", "01", "5000", 2, "", "")
            + call("EPSON_Fiscal_Fechar_Cupom", 1, 0)
            + call("EPSON_Obter_Estado_Impressora"))
    queries = b"".join(call(n) for n in (
        "EPSON_Obter_Estado_Impressora", "EPSON_Obter_GT", "EPSON_Obter_Contadores",
        "EPSON_Obter_Tabela_Aliquotas", "EPSON_Obter_Tabela_Pagamentos",
        "EPSON_Obter_Tabela_NaoFiscais", "EPSON_Obter_Dados_Ultima_RZ",
        "EPSON_Obter_Versao_SWBasico", "EPSON_Obter_Estado_Cupom",
        "EPSON_Obter_Estado_Horario_Verao"))
    reports = call("EPSON_RelatorioFiscal_LeituraX") + call("EPSON_RelatorioFiscal_RZ")
    # A control (0xF0 and above): a fault forcing a reply, then the query.
    fault = (bytes([0xF0, 3]) + text('{"kind":"reply","entry":"EPSON_Obter_GT","text":"   12,34"}')
             + call("EPSON_Obter_GT"))
    return {"sale.bin": sale, "queries.bin": queries, "reports.bin": reports,
            "forced_reply.bin": fault}


# The driver seeds: the printer type (odd: ESC/ECF) and the procedures to run
# (see runProcedure in driver_replies_fuzz.cpp); the replies are recorded from
# the virtual printer.
DRIVER_RUNS = {
    "identity_esc": [1, 0, 1, 2, 3],
    "tables_esc": [1, 4, 5, 6],
    "counters_totals_esc": [1, 7, 8, 9, 10, 11],
    "status_sale_esc": [1, 12, 14, 13, 15],
    "identity_classic": [0, 0, 1, 3, 7, 8],
    "totals_classic": [0, 9, 10, 11, 12, 4],
}


def record_driver_seeds(build, folder):
    """Runs the driver target against the virtual printer of `build`, which
    writes the input that gives the printer's replies."""
    replay = build / "bin" / "fuzz_driver_replies_replay"
    with tempfile.TemporaryDirectory() as tmp:
        for name, choices in DRIVER_RUNS.items():
            path = pathlib.Path(tmp) / name
            path.write_bytes(bytes(choices))
            env = dict(os.environ, TIV_FUZZ_RECORD=str(folder / f"{name}.bin"),
                       TIV_FUZZ_PRINTER_DIR=str(build / "bin"))
            subprocess.run([str(replay), str(path)], env=env, check=True,
                           stdout=subprocess.DEVNULL)


def main():
    build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else HERE.parent / "build").resolve()
    folder = HERE / "corpus" / "printer"
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in printer_seeds().items():
        (folder / name).write_bytes(data)
    folder = HERE / "corpus" / "driver_replies"
    folder.mkdir(parents=True, exist_ok=True)
    record_driver_seeds(build, folder)


if __name__ == "__main__":
    main()
