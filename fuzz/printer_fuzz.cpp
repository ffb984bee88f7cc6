// The virtual printer's 189 entry points, given any sequence of calls: each
// input is decoded into calls with texts of any bytes and lengths, numbers,
// and reply buffers of the sizes the driver passes (platform/interface/epson/
// reply_sizes.h; entry points the driver never calls get a large buffer).
// Controls that set the printer up are mixed in. The printer lives in a
// temporary folder, replaced every so often so that its state stays small.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "ecfsim/ecfsim.h"
#include "epson/entry_points.h"
#include "epson/reply_sizes.h"
#include "fuzz_input.h"

#define TIV_FUZZ_DECLARE(name, params, args) extern "C" int32_t name params;
EPSON_ENTRY_POINTS(TIV_FUZZ_DECLARE)
#undef TIV_FUZZ_DECLARE

namespace {

using tivfuzz::FuzzInput;

// Large enough for any reply the printer gives an entry point the driver
// never calls, whose buffer size is the printer's own choice.
constexpr size_t kOwnReplySize = 4096;
constexpr size_t kMaxText = 2048;

struct CallContext {
    FuzzInput &in;
    const epson::ReplySizes *sizes; // nullptr: an entry point the driver never calls
    size_t buffers = 0;             // reply buffers handed out so far
    size_t nextBufferSize() {
        const size_t i = buffers++;
        if (!sizes) return kOwnReplySize;
        return i < sizes->sizes.size() && sizes->sizes[i] ? sizes->sizes[i] : kOwnReplySize;
    }
};

// One argument made from the input, kept alive through the call.
template <class T> struct Arg;
template <> struct Arg<int32_t> {
    int32_t v;
    explicit Arg(CallContext &c) : v(c.in.int32()) {}
    int32_t get() { return v; }
};
template <> struct Arg<const char *> {
    std::string text;
    bool null;
    explicit Arg(CallContext &c) : null(c.in.byte() == 0xFF) {
        if (!null) text = c.in.text(kMaxText);
    }
    const char *get() { return null ? nullptr : text.c_str(); }
};
template <> struct Arg<char *> {
    // Exactly the size the caller allocates, so that a byte written past it
    // is caught by the address sanitizer.
    std::vector<char> buf;
    explicit Arg(CallContext &c) {
        const size_t size = c.nextBufferSize();
        buf.assign(size + 1, ' ');
        buf[size] = '\0';
    }
    char *get() { return buf.data(); }
};
template <> struct Arg<int32_t *> {
    int32_t v;
    explicit Arg(CallContext &c) : v(c.in.int32()) {}
    int32_t *get() { return &v; }
};
template <> struct Arg<uint8_t *> {
    uint8_t v;
    explicit Arg(CallContext &c) : v(c.in.byte()) {}
    uint8_t *get() { return &v; }
};

template <class... A> int32_t invoke(int32_t (*fn)(A...), CallContext &c) {
    // Braced initialisation: the arguments are read from the input in order.
    std::tuple<Arg<A>...> args{Arg<A>(c)...};
    return std::apply([fn](Arg<A> &...a) { return fn(a.get()...); }, args);
}

struct Entry {
    std::string_view name;
    int32_t (*call)(CallContext &);
};

#define TIV_FUZZ_ENTRY(name, params, args) {#name, [](CallContext &c) { return invoke(&name, c); }},
const Entry kEntries[] = {EPSON_ENTRY_POINTS(TIV_FUZZ_ENTRY)};
#undef TIV_FUZZ_ENTRY

std::filesystem::path folder;
size_t inputsInFolder = 0;

void freshFolder() {
    if (!folder.empty()) std::filesystem::remove_all(folder);
    // In memory where there is such a folder: every command is a durable
    // transaction, and a disk's flushes would slow the fuzzing ten times.
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string tmpl = (base / "tiv-fuzz-printer-XXXXXX");
    if (!::mkdtemp(tmpl.data())) std::abort();
    folder = tmpl;
    if (ECFSIM_OpenFolder(folder.c_str()) != 0) std::abort();
    inputsInFolder = 0;
}

void removeFolder() {
    if (!folder.empty()) std::filesystem::remove_all(folder);
}

// A control call that sets the printer up, with a text of any bytes.
void control(FuzzInput &in) {
    switch (in.choice(8)) {
    case 0:
        ECFSIM_Reset(in.text(kMaxText).c_str());
        break;
    case 1:
        ECFSIM_SetClock(in.text(64).c_str());
        break;
    case 2:
        ECFSIM_ShiftClock(in.int32());
        break;
    case 3:
        ECFSIM_InjectFault(in.text(kMaxText).c_str());
        break;
    case 4:
        ECFSIM_SetCounters(in.text(kMaxText).c_str());
        break;
    case 5:
        ECFSIM_SetTables(in.text(kMaxText).c_str());
        break;
    case 6:
        ECFSIM_RecordReduction(in.text(kMaxText).c_str());
        break;
    default:
        (void)ECFSIM_State();
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    freshFolder();
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // A new printer now and then, so that the paper roll and the fiscal
    // memory stay small; a reset between inputs otherwise.
    if (++inputsInFolder >= 500) freshFolder();
    ECFSIM_ClearFaults();
    ECFSIM_ClearJournal();
    ECFSIM_Reset(R"({"clock":"2024-03-01 09:00:00","dayOpen":true,
                     "payments":["Dinheiro",{"name":"Cartao","linked":true}],
                     "nonFiscal":["RECEBIMENTO"]})");
    FuzzInput in(data, size);
    for (int calls = 0; calls < 64 && !in.empty(); ++calls) {
        const uint8_t pick = in.byte();
        if (pick >= 0xF0) {
            control(in);
            continue;
        }
        const Entry &e = kEntries[(size_t{pick} << 8 | in.byte()) % std::size(kEntries)];
        CallContext c{in, epson::replySizes(e.name)};
        (void)e.call(c);
    }
    return 0;
}
