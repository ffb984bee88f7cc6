"""Sells and closes a receipt on a fresh virtual printer, through libtivcall or
through the local service.

    python3 examples/python/sell_receipt.py build/bin/libtivcall.so /tmp/tiv-python
    python3 examples/python/sell_receipt.py http://127.0.0.1:8765 /tmp/tiv-python
    python3 examples/python/sell_receipt.py --serve build/bin/tiv /tmp/tiv-python

The first loads the module into Python; the second talks to a running `tiv serve`; the third
starts `tiv serve` on a free port for the sale and stops it after.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tiv import run_example  # noqa: E402


# The approximate federal and state tax rates of the goods sold, from the host's tax table.
FEDERAL_TAX_RATE = 0.1345
STATE_TAX_RATE = 0.18


def closing(amount):
    """FechaCupom's 62 positions: cash only, no discount, a thank-you line, the operator and the
    sale's approximate taxes for the footer."""
    args = [None] * 62
    args[0:12] = ["", "", "001", None, False, True, 0.0, 0.0, 0.0, "N", "Obrigado!", False]
    args[13] = {"fields": [{"name": "IDTIPOMOVIVE", "type": "string", "size": 1},
                           {"name": "CDTIPORECE", "type": "string", "size": 3},
                           {"name": "VRMOVIVEND", "type": "float"},
                           {"name": "DTHRINCMOV", "type": "datetime"},
                           {"name": "NRORDTROCO", "type": "integer"}],
                "rows": [["E", "001", amount, None, 1]]}
    args[14] = {"fields": [{"name": "CDTIPORECE", "type": "string", "size": 3},
                           {"name": "NMTIPORECE", "type": "string", "size": 40},
                           {"name": "IDTIPORECE", "type": "string", "size": 1},
                           {"name": "DSIMPFISCAL", "type": "string", "size": 50},
                           {"name": "CDFPIMPFIS", "type": "string", "size": 10}],
                "rows": [["001", "Dinheiro", "4", "Dinheiro", "01"]]}
    for i in (15, 16, 17, 18, 19, 21):
        args[i] = ""
    args[22], args[23] = "07", "MARIA"
    args[51] = round(amount * FEDERAL_TAX_RATE, 2)
    args[58] = round(amount * STATE_TAX_RATE, 2)
    return args


def sell(driver, folder):
    driver.printer("OpenFolder", folder)
    driver.printer("Reset")
    driver.call("StartImpFiscal", {"CDFILIAL": "0001", "IDTIPOIMPFIS": 33, "BOUTILTAA": False})
    driver.call("AbreCupom", {"ESQUEMACOR": "001", "INCLUICPF": "", "INCLUINOME": "",
                              "INCLUIENDERECO": "", "IDUTILTEF": "N", "UTILTEF": False})
    sold = driver.call("VendaItem", {"ESQUEMACOR": "001", "CDARVPROD": "7891000100103",
                                     "NMPROD": "ARROZ 5KG", "CDALIQ": "01", "QTDE": 1,
                                     "VALOR": 24.90, "DESCONT": 0, "UNIDADE": "UN",
                                     "IDUTILTEF": "N", "UTILTEF": False, "ACRESCIMO": 0})
    closed = driver.call("FechaCupom", closing(24.90), None, {"result": 4})
    driver.call("StopImpFiscal")
    for line in closed["paper"]:
        print(line)
    ok = sold["return"] is True and closed["return"] is True
    print("receipt closed" if ok else "the receipt was not closed: " + str(closed))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(run_example(sell, "/tmp/tiv-python-example", sys.argv))
