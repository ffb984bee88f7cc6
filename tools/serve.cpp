#include "serve.h"

#include <malloc.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <thread>

namespace tivtool {

int serve(const ServeOptions &options) {
    // Requests and answers of up to a megabyte pass through many threads: blocks this large
    // get pages of their own, given back when freed. Otherwise the allocator raises the
    // threshold after the first and keeps their space in every thread's heap.
    mallopt(M_MMAP_THRESHOLD, 128 << 10);
    Json where = Json::object();
    if (!options.printerPath.empty()) where["printer"] = options.printerPath;
    CallSession session(where,
                        options.modulePath.empty() ? Module::defaultPath() : options.modulePath);
    Service service(session);
    if (options.lines) {
        // A client that has gone shows as a failed write, not as a signal that ends the process.
        signal(SIGPIPE, SIG_IGN);
        // SIGINT or SIGTERM end the service between two answers, never in the middle of a call.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
        // Outlives this function: the signal's thread may hold it while the process ends.
        static std::mutex answering;
        std::thread([stopSignals] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            answering.lock(); // the answer under way written first
            std::cout.flush();
            // Every answer is out and the printer's state is on disk: nothing else to end.
            std::_Exit(0);
        }).detach();
        serveLines(service, std::cin, std::cout, &answering);
        answering.lock(); // a late signal finds nothing more to wait for
        return 0;
    }
    return serveHttp(service, options);
}

} // namespace tivtool
