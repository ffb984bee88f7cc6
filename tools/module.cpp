#include "module.h"

#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>

namespace tivtool {

Module::Module(const std::string &path) : path_(path) {
    // Local, as a host loads a plug-in: nothing loaded later binds to the
    // module's own symbols by accident.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char *why = dlerror();
        throw std::runtime_error("cannot load the module " + path + ": " +
                                 (why ? why : "unknown reason"));
    }
}

Module::~Module() {
    if (handle_) dlclose(handle_);
}

std::string Module::folder() const {
    std::error_code ec;
    auto p = std::filesystem::absolute(path_, ec);
    return ec ? std::string(".") : p.parent_path().string();
}

void *Module::symbol(const std::string &name) const {
    dlerror();
    return dlsym(handle_, name.c_str());
}

std::string Module::defaultPath() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ((ec ? std::filesystem::path(".") : exe.parent_path()) / "libtiv02000.so").string();
}

} // namespace tivtool
