#include "serve.h"

#include <iostream>

namespace tivtool {

int serve(const ServeOptions &options) {
    Json where = Json::object();
    if (!options.printerPath.empty()) where["printer"] = options.printerPath;
    CallSession session(where,
                        options.modulePath.empty() ? Module::defaultPath() : options.modulePath);
    Service service(session);
    if (options.lines) {
        serveLines(service, std::cin, std::cout);
        return 0;
    }
    return serveHttp(service, options);
}

} // namespace tivtool
