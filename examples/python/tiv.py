"""Calls the Tiv02000 driver module from Python (standard library only), either
in this process through libtivcall or through the local service `tiv serve`.

    from tiv import Driver, Service
    driver = Driver("build/bin/libtivcall.so")      # or Service("http://127.0.0.1:8765")
    answer = driver.call("Nr_Cupom", "", "001")
    print(answer["return"])
"""
import ctypes
import json
import subprocess
import urllib.error
import urllib.parse
import urllib.request


class DriverError(Exception):
    """A request the module could not take: {"kind", "message", "argument"}."""

    def __init__(self, error):
        super().__init__(error["message"])
        self.kind = error["kind"]
        self.argument = error.get("argument")
        self.field = error.get("field")


class ProcedureError(DriverError):
    """The procedure ran and raised an exception (the host's call would have raised it);
    `.record` is the call's whole record: its log, dialogs, journal and paper."""

    def __init__(self, record):
        super().__init__({"kind": "exception", "message": record["exception"]})
        self.record = record


class ReceiptError(DriverError):
    """A receipt that stopped part-way (kind "receipt"): `.answer` holds how far it went
    (`["receipt"]`) and each step's record (`["steps"]`). The same receipt sent again with the
    same id goes on from there."""

    def __init__(self, answer):
        super().__init__(answer["error"])
        self.answer = answer


def _record(answer):
    if "error" in answer:
        if answer["error"]["kind"] == "receipt":
            raise ReceiptError(answer)
        raise DriverError(answer["error"])
    if "exception" in answer:
        raise ProcedureError(answer)
    return answer


class _Calls:
    def call(self, procedure, *args, answers=None, id=None):
        """Calls a procedure by its plain name with arguments in the JSON forms of `tiv run`.

        `answers` are the operator's answers to the call's dialogs, in order. `id` (service
        only) names the request: sent again, it is answered from what the service kept and the
        printer is not called twice."""
        request = {"call": procedure, "args": list(args)}
        if answers is not None:
            request["answers"] = answers
        if id is not None:
            request["id"] = id
        return self.request(request)

    def receipt(self, receipt, id=None):
        """Sells a whole receipt in one request: {"customer", "items", "adjustment", "payments",
        "footer"} (docs/hosts.md). Answers {"receipt": {"coo", "ccf", "closed", "itemsSold",
        "totals"}, "steps": [record, ...]}; raises DriverError when the request is refused (its
        `.field` names the member) and ReceiptError when the sale stopped part-way. With an `id`
        the sale is never made twice: sent again after it closed it answers what it answered
        (with "repeated": true), after a failure it goes on where the printer stands."""
        request = {"receipt": receipt}
        if id is not None:
            request["id"] = id
        return self.request(request)

    def printer(self, control, *args):
        """A control of the virtual printer (Reset, OpenFolder, PaperSince, ...)."""
        return self.request({"ecfsim": control, "args": list(args)})["result"]


class Driver(_Calls):
    """The module in this process, through libtivcall."""

    def __init__(self, library, module=None, printer=None):
        self._lib = ctypes.CDLL(library)
        self._lib.tiv_invoke.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]
        self._lib.tiv_invoke.restype = ctypes.c_int
        self._lib.tiv_free.argtypes = [ctypes.c_void_p]
        self._lib.tiv_open.argtypes = [ctypes.c_char_p]
        self._lib.tiv_last_error.restype = ctypes.c_char_p
        options = {k: v for k, v in (("module", module), ("printer", printer)) if v}
        if options and self._lib.tiv_open(json.dumps(options).encode()) != 0:
            raise OSError(self._lib.tiv_last_error().decode())

    def request(self, request):
        """Sends one request; returns the call's record or raises DriverError."""
        answer = ctypes.c_void_p()
        self._lib.tiv_invoke(json.dumps(request).encode(), ctypes.byref(answer))
        try:
            return _record(json.loads(ctypes.string_at(answer).decode()))
        finally:
            self._lib.tiv_free(answer)


class Service(_Calls):
    """The module behind `tiv serve`, over HTTP."""

    def __init__(self, url, token=None, timeout=120):
        self.url = url.rstrip("/")
        self.token = token
        self.timeout = timeout

    def _send(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        if method == "POST" and data is None:
            data = b""
        req = urllib.request.Request(self.url + path, data=data, method=method,
                                     headers={"Content-Type": "application/json"})
        if self.token:
            req.add_header("Authorization", "Bearer " + self.token)
        try:
            with urllib.request.urlopen(req, timeout=self.timeout) as reply:
                return json.loads(reply.read().decode())
        except urllib.error.HTTPError as refused:
            return json.loads(refused.read().decode())

    def request(self, request):
        """Sends one request; returns the call's record or raises DriverError."""
        if "receipt" in request:
            body = dict(request["receipt"])
            if "id" in request:
                body["id"] = request["id"]
            return _record(self._send("POST", "/receipts", body))
        body = {k: v for k, v in request.items() if k not in ("call", "ecfsim")}
        if "call" in request:
            return _record(self._send("POST", "/calls/" + request["call"], body))
        return _record(self._send("POST", "/printer/" + request["ecfsim"], body))

    def status(self, id):
        """What became of the call sent with `id`: {"status": "running"} or
        {"status": "done", "answer": record}."""
        return _record(self._send("GET", "/answers/" + urllib.parse.quote(id, safe="")))

    def log(self, lines=50):
        """The last lines of the driver's debug log."""
        return _record(self._send("GET", "/log?lines=%d" % lines))["lines"]


def start_service(tiv, *options):
    """Starts `tiv serve` on a free loopback port; returns (process, Service). Stop it with
    process.terminate()."""
    process = subprocess.Popen([tiv, "serve", "--port", "0", *options],
                               stdout=subprocess.PIPE, text=True)
    line = process.stdout.readline()
    if "listening on " not in line:
        process.kill()
        raise OSError("tiv serve did not start: " + line)
    return process, Service(line.split("listening on ", 1)[1].strip())


def run_example(sell, folder, argv):
    """Runs an example's sell(driver, folder) as its command line says: [LIBRARY_OR_URL
    [FOLDER]], or --serve TIV [FOLDER] to start `tiv serve` for it. Returns the exit status."""
    args = argv[1:]
    if args and args[0] == "--serve":
        process, service = start_service(args[1])
        try:
            return sell(service, args[2] if len(args) > 2 else folder)
        finally:
            process.terminate()
            process.wait()
    where = args[0] if args else "build/bin/libtivcall.so"
    driver = Service(where) if where.startswith("http") else Driver(where)
    return sell(driver, args[1] if len(args) > 1 else folder)
