// The exported entry points, generated from the shared list: each one journals its call, lets
// an injected fault take it, and otherwise hands it to the printer under the printer's lock.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

#include "entry_impl.h"
#include "faults.h"
#include "kill_switch.h"
#include "printer.h"
#include "text.h"
#include "tivplatform/export.h"

namespace ecfsim {

namespace {

CallArgument argText(const char *s) {
    if (!s) return {};
    return std::string(s, strnlen(s, 65536));
}
CallArgument argText(char *) {
    return {};
} // reply buffer
CallArgument argText(int32_t v) {
    return v;
}
CallArgument argText(int32_t *p) {
    if (!p) return {};
    return *p;
}
CallArgument argText(uint8_t *) {
    return {};
}

template <class... A> std::vector<CallArgument> argList(A... a) {
    return {argText(a)...};
}
std::vector<CallArgument> argList() {
    return {};
}

// The reply buffers of a call, in argument order; a forced reply is written into them.
struct ReplyBuffer {
    void *at;
    bool byte; // a one-byte flag rather than a text
};
template <class T> void addBuffer(std::vector<ReplyBuffer> &, T) {}
void addBuffer(std::vector<ReplyBuffer> &out, char *p) {
    out.push_back({p, false});
}
void addBuffer(std::vector<ReplyBuffer> &out, uint8_t *p) {
    out.push_back({p, true});
}
template <class... A> std::vector<ReplyBuffer> replyBuffers(A... a) {
    std::vector<ReplyBuffer> out;
    (addBuffer(out, a), ...);
    return out;
}

// Writes each forced text and its NUL; the fault was checked against the buffer sizes when it
// was set. A buffer the caller did not pass is left alone.
void forceReply(const Fault &f, const std::vector<ReplyBuffer> &buffers) {
    for (std::size_t i = 0; i < f.texts.size() && i < buffers.size(); ++i) {
        if (!buffers[i].at) continue;
        if (buffers[i].byte) {
            *static_cast<uint8_t *>(buffers[i].at) = f.texts[i] == "1" ? 1 : 0;
        } else {
            char *b = static_cast<char *>(buffers[i].at);
            std::memcpy(b, f.texts[i].data(), f.texts[i].size());
            b[f.texts[i].size()] = '\0';
        }
    }
}

// The journal keeps a pointer, so the kind must outlive the fault.
const char *faultKindName(const std::string &kind) {
    for (const char *k : {"comm", "paper", "noanswer", "lost", "refuse", "status", "reply"})
        if (kind == k) return k;
    return "fault";
}

bool isQuery(std::string_view name) {
    return name.starts_with("EPSON_Obter_") || name.starts_with("EPSON_ESC_ECF_Obter_");
}

template <class F>
int32_t dispatch(const char *name, std::vector<CallArgument> args,
                 const std::vector<ReplyBuffer> &buffers, F &&body) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    kill::Call sweepPoint;
    std::string_view entry = name;
    bool isStatus = entry == "EPSON_Obter_Estado_Impressora";
    std::optional<Fault> f = faults().fire(entry);
    StatusOverlay &overlay = statusOverlay();
    int32_t ret;
    if (!f) {
        if (!isStatus) overlay.clearWords();
        ret = body();
    } else if (f->kind == "noanswer") {
        ret = f->ret;
    } else if (f->kind == "lost") {
        // Carried out, but the answer never reaches the caller.
        (void)body();
        ret = f->ret;
    } else if (f->kind == "comm") {
        overlay.commWord = f->code;
        ret = f->ret;
        if (isStatus) body();
    } else if (f->kind == "paper") {
        overlay.mechWord = "0002";
        if (isStatus || isQuery(entry)) {
            ret = body();
        } else {
            p.lastResult = Code::PaperOut;
            ret = f->ret;
        }
    } else if (f->kind == "refuse") {
        p.lastResult = static_cast<Code>(std::stoul(f->code, nullptr, 16));
        ret = f->ret;
    } else if (f->kind == "reply") {
        forceReply(*f, buffers);
        // The status text reports on the last command; any other reply is a query that
        // succeeded.
        if (!isStatus) p.lastResult = Code::Ok;
        ret = f->ret;
    } else { // status
        overlay.position = f->position;
        overlay.text = f->text;
        ret = body();
        overlay.position = 0;
        overlay.text.clear();
    }
    journal().add(Call{name, std::move(args), ret, static_cast<uint16_t>(p.lastResult),
                       f ? faultKindName(f->kind) : nullptr});
    return ret;
}

} // namespace

} // namespace ecfsim

// The variant builds each drop one entry point from the exports, for tests of a library that
// lacks it.
#define ECFSIM_SECOND(a, b, ...) b
#define ECFSIM_IS_DROPPED_I(...) ECFSIM_SECOND(__VA_ARGS__, 0, )
#define ECFSIM_IS_DROPPED(name) ECFSIM_IS_DROPPED_I(ECFSIM_DROP_##name)
#ifdef ECFSIM_WITHOUT_ESC_CUT
#define ECFSIM_DROP_EPSON_ESC_ECF_Impressora_Cortar_Papel ~, 1
#endif
#ifdef ECFSIM_WITHOUT_VERSION_DLL
#define ECFSIM_DROP_EPSON_Obter_Versao_DLL ~, 1
#endif
#define ECFSIM_CAT_I(a, b) a##b
#define ECFSIM_CAT(a, b) ECFSIM_CAT_I(a, b)
#define ECFSIM_LINKAGE_0 TIV_EXPORT
#define ECFSIM_LINKAGE_1

#define ECFSIM_EXPORT_ENTRY(name, params, args)                                                    \
    extern "C" ECFSIM_CAT(ECFSIM_LINKAGE_, ECFSIM_IS_DROPPED(name)) int32_t name params {          \
        return ecfsim::dispatch(#name, ecfsim::argList args, ecfsim::replyBuffers args,            \
                                [&]() -> int32_t { return ecfsim::impl::name args; });             \
    }

EPSON_ENTRY_POINTS(ECFSIM_EXPORT_ENTRY)
