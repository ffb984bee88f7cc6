#include "serve.h"

#include <csignal>
#include <iostream>

namespace tivtool {

int serve(const ServeOptions &options) {
    Json where = Json::object();
    if (!options.printerPath.empty()) where["printer"] = options.printerPath;
    CallSession session(where,
                        options.modulePath.empty() ? Module::defaultPath() : options.modulePath);
    Service service(session);
    if (options.lines) {
        // A client that has gone shows as a failed write, not as a signal that ends the process.
        signal(SIGPIPE, SIG_IGN);
        serveLines(service, std::cin, std::cout);
        return 0;
    }
    return serveHttp(service, options);
}

} // namespace tivtool
