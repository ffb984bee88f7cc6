#include "tivplatform/system.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

#include "tivplatform/text.h"

#include "tivplatform/errors.h"

namespace tiv {

namespace {

std::string lower(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool endsWithNoCase(const std::string &s, const std::string &suffix) {
    return s.size() >= suffix.size() && lower(s.substr(s.size() - suffix.size())) == suffix;
}

std::string folderOf(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string errnoText(int err) {
    return std::strerror(err);
}

std::mutex &loadErrorMutex() {
    static std::mutex m;
    return m;
}
std::string &loadErrorText() {
    static std::string text;
    return text;
}
void setLoadError(std::string text) {
    std::lock_guard<std::mutex> lock(loadErrorMutex());
    loadErrorText() = std::move(text);
}

} // namespace

// --- Dynamic libraries --------------------------------------------------

std::string sharedLibraryName(const std::string &windowsName) {
    std::string name = windowsName;
    for (char &c : name)
        if (c == '\\') c = '/';
    std::string folder;
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) {
        folder = name.substr(0, slash + 1);
        name = name.substr(slash + 1);
    }
    if (endsWithNoCase(name, ".dll")) name = name.substr(0, name.size() - 4);
    const bool sharedObject = (name.size() >= 3 && name.substr(name.size() - 3) == ".so") ||
                              name.find(".so.") != std::string::npos;
    if (!sharedObject) {
        if (name.rfind("lib", 0) != 0) name = "lib" + name;
        name += ".so";
    }
    return folder + name;
}

std::string platformLibraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&platformLibraryFolder), &info) == 0 || !info.dli_fname)
        return {};
    std::error_code ec;
    std::filesystem::path p = std::filesystem::canonical(info.dli_fname, ec);
    if (ec) return folderOf(info.dli_fname);
    return p.parent_path().string();
}

ModuleHandle loadLibrary(const std::string &windowsName) {
    if (windowsName.empty()) {
        setLoadError("no library name given");
        return 0;
    }
    std::string file = sharedLibraryName(windowsName);
    std::string errors;
    auto attempt = [&](const std::string &path) -> ModuleHandle {
        dlerror();
        void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (h) return reinterpret_cast<ModuleHandle>(h);
        const char *err = dlerror();
        if (!errors.empty()) errors += "; ";
        errors += err ? err : path;
        return 0;
    };
    ModuleHandle h = 0;
    if (file.find('/') != std::string::npos) {
        h = attempt(file); // a path names its own place
    } else {
        // $TIV_LIBRARY_DIR lets an integrator (or a test) put another build of
        // a vendor library in front of the one beside the module.
        if (const char *dir = std::getenv("TIV_LIBRARY_DIR"); dir && *dir) {
            const std::string override = std::string(dir) + "/" + file;
            if (fileExists(override)) h = attempt(override);
        }
        std::string folder = platformLibraryFolder();
        if (!h && !folder.empty() && fileExists(folder + "/" + file))
            h = attempt(folder + "/" + file);
        if (!h) h = attempt(file);
    }
    setLoadError(h ? std::string() : "cannot load " + windowsName + ": " + errors);
    return h;
}

std::string lastLoadError() {
    std::lock_guard<std::mutex> lock(loadErrorMutex());
    return loadErrorText();
}

void *getProcAddress(ModuleHandle module, const std::string &name) {
    if (module == 0) return nullptr;
    return dlsym(reinterpret_cast<void *>(module), name.c_str());
}

void freeLibrary(ModuleHandle module) {
    if (module != 0) dlclose(reinterpret_cast<void *>(module));
}

// --- Registry ------------------------------------------------------------

namespace {

// A registry file holds a few keys; it is read at every look-up.
constexpr uint64_t kMaxRegistrySize = uint64_t{16} << 20;

// A registry file's lines lose their line ends and blanks.
constexpr std::string_view kLineBlanks = " \t\r\n";

// A key path compared as the registry does: case-insensitive, one "\"
// between parts, none at the ends, abbreviated roots spelled out.
std::string normalizeKey(const std::string &path) {
    std::string out;
    std::string part;
    std::vector<std::string> parts;
    for (char c : path + "\\") {
        if (c == '\\' || c == '/') {
            part = trim(part, kLineBlanks);
            if (!part.empty()) parts.push_back(lower(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!parts.empty()) {
        static const std::pair<const char *, const char *> roots[] = {
            {"hklm", "hkey_local_machine"},
            {"hkcu", "hkey_current_user"},
            {"hkcr", "hkey_classes_root"},
            {"hku", "hkey_users"},
            {"hkcc", "hkey_current_config"}};
        for (const auto &[abbr, full] : roots)
            if (parts[0] == abbr) parts[0] = full;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '\\';
        out += parts[i];
    }
    return out;
}

struct RegistryLookup {
    bool keyFound = false;
    std::optional<std::string> value;
};

RegistryLookup lookUp(const std::string &root, const std::string &key, const std::string *name) {
    RegistryLookup r;
    std::string text;
    try {
        text = readFile(registryPath(), 0, kMaxRegistrySize);
    } catch (const Error &) {
        return r; // missing, unreadable or not a regular file: no registry at all
    }
    std::istringstream in(text);
    const std::string wantedKey = normalizeKey(root + "\\" + key);
    const std::string wantedName = name ? lower(trim(*name, kLineBlanks)) : std::string();
    bool inKey = false;
    std::string line;
    while (std::getline(in, line)) {
        std::string t = trim(line, kLineBlanks);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t.front() == '[' && t.back() == ']') {
            inKey = normalizeKey(t.substr(1, t.size() - 2)) == wantedKey;
            r.keyFound = r.keyFound || inKey;
            continue;
        }
        if (!inKey || !name) continue;
        size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        std::string n = trim(t.substr(0, eq), kLineBlanks);
        if (n.size() >= 2 && n.front() == '"' && n.back() == '"') n = n.substr(1, n.size() - 2);
        if (n == "@") n.clear(); // the key's default value
        if (lower(n) != wantedName) continue;
        std::string v = trim(t.substr(eq + 1), kLineBlanks);
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        r.value = v;
        return r; // first match
    }
    return r;
}

} // namespace

std::string registryPath() {
    const char *env = std::getenv("TIV_REGISTRY");
    if (env && *env) return env;
    return programFolder() + "/registry.ini";
}

std::optional<std::string> registryReadString(const std::string &root, const std::string &key,
                                              const std::string &valueName) {
    return lookUp(root, key, &valueName).value;
}

bool registryKeyExists(const std::string &root, const std::string &key) {
    return lookUp(root, key, nullptr).keyFound;
}

// --- Program folder and files ------------------------------------------

std::string programFolder() {
    const char *env = std::getenv("TIV_PROGRAM_DIR");
    std::string folder;
    if (env && *env) {
        folder = env;
    } else {
        std::error_code ec;
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        folder = ec ? std::string(".") : exe.parent_path().string();
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string shortPathName(const std::string &path) {
    return path;
}

bool fileExists(const std::string &path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool directoryExists(const std::string &path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool forceDirectories(const std::string &path) {
    if (path.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return directoryExists(path);
}

std::vector<std::string> findFiles(const std::string &folder, const std::string &pattern) {
    std::vector<std::string> names;
    // "*.*" matches every file on the host platform, with or without a dot.
    const std::string pat = pattern == "*.*" ? "*" : pattern;
    DIR *dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return names;
    while (dirent *e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        // File names match without regard to case, as on the host platform.
        if (::fnmatch(pat.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
        if (fileExists((folder.empty() ? "." : folder) + "/" + name)) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool renameFile(const std::string &from, const std::string &to) {
    if (from.empty() || to.empty()) return false;
    // The host platform refuses to rename onto an existing file.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without RENAME_NOREPLACE.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void appendLine(const std::string &path, const std::string &line) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) throw Error("cannot open " + path + " to append: " + errnoText(errno));
    std::string data = line + "\n";
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            throw Error("cannot append to " + path + ": " + errnoText(err));
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) throw Error("cannot append to " + path + ": " + errnoText(errno));
}

void writeFileAtomic(const std::string &path, const std::string &contents) {
    if (path.empty()) throw Error("cannot write a file with no name");
    const std::string folder = folderOf(path);
    const std::string base =
        path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    std::string tmp = folder + "/." + base + ".tmp.XXXXXX";
    std::vector<char> buf(tmp.begin(), tmp.end());
    buf.push_back('\0');
    int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) throw Error("cannot write " + path + ": " + errnoText(errno));
    tmp = buf.data();
    auto fail = [&](const std::string &what, int err) {
        if (fd >= 0) ::close(fd);
        ::unlink(tmp.c_str());
        throw Error("cannot write " + path + ": " + what + ": " + errnoText(err));
    };
    // Keep the old file's permissions; a new file gets the usual ones.
    struct stat st {};
    mode_t mode;
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) fail("setting permissions", errno);
    size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("writing", errno);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) fail("flushing", errno);
    int closeResult = ::close(fd);
    fd = -1;
    if (closeResult != 0) fail("closing", errno);
    if (::rename(tmp.c_str(), path.c_str()) != 0) fail("replacing the file", errno);
    // Make the rename itself durable; a failure here loses nothing already written.
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

namespace {

std::string sizeText(uint64_t bytes) {
    if (bytes % (uint64_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// Reads up to `limit` bytes and one more, so that a file that grew past the
// limit while being read is caught too. False when the limit was passed.
bool readAtMost(int fd, uint64_t limit, std::string &out, int &err) {
    char buf[65536];
    for (;;) {
        const uint64_t left = limit - out.size(); // out.size() <= limit here
        const size_t want = left < sizeof buf ? static_cast<size_t>(left) + 1 : sizeof buf;
        ssize_t n = ::read(fd, buf, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            return true;
        }
        if (n == 0) return true;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > limit) return false;
    }
}

} // namespace

std::string readFile(const std::string &path, uint64_t offset, uint64_t limit) {
    // O_NONBLOCK: opening a FIFO with no writer must not wait for one.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw Error("cannot read " + path + ": " + errnoText(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        throw Error("cannot read " + path + ": " + errnoText(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Error("cannot read " + path + ": not a regular file");
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    const uint64_t wanted = size > offset ? size - offset : 0;
    auto tooLarge = [&] {
        ::close(fd);
        throw Error("cannot read " + path + ": larger than " + sizeText(limit));
    };
    if (wanted > limit) tooLarge();
    if (offset > 0 && ::lseek(fd, static_cast<off_t>(std::min(offset, size)), SEEK_SET) < 0) {
        int err = errno;
        ::close(fd);
        throw Error("cannot read " + path + ": " + errnoText(err));
    }
    std::string out;
    out.reserve(static_cast<size_t>(wanted));
    int err = 0;
    if (!readAtMost(fd, limit, out, err)) tooLarge();
    ::close(fd);
    if (err != 0) throw Error("cannot read " + path + ": " + errnoText(err));
    return out;
}

std::string readStream(int fd, const std::string &what, uint64_t limit) {
    std::string out;
    int err = 0;
    if (!readAtMost(fd, limit, out, err))
        throw Error("cannot read " + what + ": larger than " + sizeText(limit));
    if (err != 0) throw Error("cannot read " + what + ": " + errnoText(err));
    return out;
}

// --- Pending window messages ------------------------------------------

namespace {
std::mutex &hookMutex() {
    static std::mutex m;
    return m;
}
std::function<void()> &hookSlot() {
    static std::function<void()> hook;
    return hook;
}
} // namespace

void setProcessMessagesHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(hookMutex());
    hookSlot() = std::move(hook);
}

void processMessages() {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex());
        hook = hookSlot();
    }
    if (hook) hook();
}

} // namespace tiv
