"""Sells a whole receipt in one request on a fresh virtual printer, through libtivcall or through
the local service, and shows that a sale sent under an id is never made twice.

    python3 examples/python/receipt_in_one_request.py build/bin/libtivcall.so /tmp/tiv-receipt
    python3 examples/python/receipt_in_one_request.py http://127.0.0.1:8765 /tmp/tiv-receipt
    python3 examples/python/receipt_in_one_request.py --serve build/bin/tiv /tmp/tiv-receipt

The printer is told to leave the third item unanswered, as a cable pulled mid-sale would: the
sale stops with two items on the receipt, and the same request sent again finishes it from the
third item. Sent once more, it answers what it answered and prints nothing.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tiv import DriverError, ReceiptError, run_example  # noqa: E402

SALE = {
    "customer": {"document": "123.456.789-09", "name": "JOAO DA SILVA"},
    "items": [
        {"code": "101", "description": "ARROZ TIPO 1 5KG", "quantity": 1, "price": 24.90,
         "tax": "01"},
        {"code": "102", "description": "FEIJAO CARIOCA 1KG", "quantity": 2, "price": 8.49,
         "tax": "01", "discount": 1.00},
        {"code": "103", "description": "QUEIJO PRATO", "quantity": 0.347, "price": 39.90,
         "tax": "02", "unit": "KG"},
        {"code": "104", "description": "LEITE EM PO 400G", "quantity": 1, "price": 4.35,
         "tax": "II"},
    ],
    "adjustment": -0.50,
    "payments": [{"method": "Cartao Credito", "amount": 30.00, "card": "credit"},
                 {"method": "Dinheiro", "amount": 30.00}],
    "footer": "Obrigado pela preferencia!",
}


def sell(driver, folder):
    driver.printer("OpenFolder", folder)
    driver.printer("Reset", {"payments": ["Dinheiro", "Cartao Credito"]})
    driver.call("StartImpFiscal", {"CDFILIAL": "0001", "IDTIPOIMPFIS": 33, "BOUTILTAA": False})

    # A request that cannot be sold is refused whole, naming the member, before any printing.
    wrong = dict(SALE, items=[dict(SALE["items"][0], price="24.90")])
    try:
        driver.receipt(wrong)
        print("a price given as text was taken")
        return 1
    except DriverError as refused:
        print("refused:", refused)

    driver.printer("InjectFault", {"kind": "noanswer",
                                   "entry": "EPSON_ESC_ECF_Fiscal_Vender_ItemEX", "at": 3})
    mark = driver.printer("MarkPaper")
    try:
        driver.receipt(SALE, id="till-1/sale-1")
        print("the fault did not stop the sale")
        return 1
    except ReceiptError as stopped:
        print("stopped:", stopped, "- items sold:", stopped.answer["receipt"]["itemsSold"])

    sold = driver.receipt(SALE, id="till-1/sale-1")
    receipt = sold["receipt"]
    print("COO %s CCF %s, due %.2f, paid %.2f, change %.2f" % (
        receipt["coo"], receipt["ccf"], receipt["totals"]["due"], receipt["totals"]["paid"],
        receipt["totals"]["change"]))
    paper = driver.printer("PaperSince", mark)["lines"]
    for line in paper:
        print(line)

    again_mark = driver.printer("MarkPaper")
    again = driver.receipt(SALE, id="till-1/sale-1")
    printed_again = driver.printer("PaperSince", again_mark)["lines"]
    driver.call("StopImpFiscal")

    each_item_once = all(sum(item["description"] in line for line in paper) == 1
                         for item in SALE["items"])
    ok = (receipt["closed"] and each_item_once and again.get("repeated") is True
          and not printed_again)
    print("one receipt, every item once" if ok else "the sale went wrong: " + str(sold))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(run_example(sell, "/tmp/tiv-receipt-example", sys.argv))
