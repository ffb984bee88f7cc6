// The client dataset's XML data-packet reader, given any bytes. A packet is
// either refused with tiv::Error or read whole; what was read is walked
// field by field and written again, and the written packet must read back to
// the very same packet.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tivplatform/dataset.h"
#include "tivplatform/errors.h"

namespace {

[[noreturn]] void fail(const char *what, const std::string &packet) {
    std::fprintf(stderr, "data packet: %s\n--- packet ---\n%s\n", what, packet.c_str());
    std::abort();
}

void walk(tiv::TClientDataSet &ds) {
    ds.open();
    for (ds.first(); !ds.eof(); ds.next())
        for (size_t i = 0; i < ds.fieldCount(); ++i) {
            tiv::TField f(ds, i);
            (void)f.isNull();
            (void)f.asVariant().toString();
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string xml(reinterpret_cast<const char *>(data), size);
    tiv::TClientDataSet ds("fuzz");
    try {
        ds.setDataPacket(xml);
    } catch (const tiv::Error &) {
        return 0; // refused as a whole: the expected answer to most inputs
    }
    walk(ds);
    std::string written;
    try {
        written = ds.dataPacket();
    } catch (const tiv::Error &) {
        if (ds.fieldCount() != 0) fail("a dataset with fields could not be written", xml);
        return 0;
    }
    tiv::TClientDataSet again("again");
    try {
        again.setDataPacket(written);
    } catch (const tiv::Error &e) {
        fail(e.what(), written);
    }
    if (again.dataPacket() != written) fail("written, read and written again differs", written);
    walk(again);
    return 0;
}
