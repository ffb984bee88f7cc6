"""Calls the Tiv02000 driver module from Python through libtivcall (standard library only).

    from tiv import Driver
    driver = Driver("build/bin/libtivcall.so")
    answer = driver.call("Nr_Cupom", "", "001")
    print(answer["return"])
"""
import ctypes
import json


class DriverError(Exception):
    """A request the module could not take: {"kind", "message", "argument"}."""

    def __init__(self, error):
        super().__init__(error["message"])
        self.kind = error["kind"]
        self.argument = error.get("argument")


class Driver:
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
            record = json.loads(ctypes.string_at(answer).decode())
        finally:
            self._lib.tiv_free(answer)
        if "error" in record:
            raise DriverError(record["error"])
        return record

    def call(self, procedure, *args, answers=None):
        """Calls a procedure by its plain name with arguments in the JSON forms of `tiv run`."""
        request = {"call": procedure, "args": list(args)}
        if answers is not None:
            request["answers"] = answers
        return self.request(request)

    def printer(self, control, *args):
        """A control of the virtual printer (Reset, OpenFolder, PaperSince, ...)."""
        return self.request({"ecfsim": control, "args": list(args)})["result"]
