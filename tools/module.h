#pragma once
// The driver module, loaded the way a host loads it: dlopen, then dlsym of
// each procedure's plain name.
#include <string>

namespace tivtool {

class Module {
  public:
    // Throws std::runtime_error with the loader's words when it cannot load.
    explicit Module(const std::string &path);
    ~Module();
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    const std::string &path() const { return path_; }
    std::string folder() const;
    // nullptr when the module does not export `name`.
    void *symbol(const std::string &name) const;

    // libtiv02000.so in the folder of the running program.
    static std::string defaultPath();

  private:
    std::string path_;
    void *handle_ = nullptr;
};

} // namespace tivtool
