#include "tivplatform/system.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tivplatform/errors.h"

namespace {

namespace fs = std::filesystem;

// Each case gets its own program folder.
class SystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "tivplat-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        ::setenv("TIV_PROGRAM_DIR", dir_.c_str(), 1);
        ::unsetenv("TIV_REGISTRY");
    }
    void TearDown() override {
        ::unsetenv("TIV_PROGRAM_DIR");
        ::unsetenv("TIV_REGISTRY");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void write(const std::string &name, const std::string &text) {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string dir_;
};

TEST_F(SystemTest, ProgramFolderOverrideAndDefault) {
    EXPECT_EQ(tiv::programFolder(), dir_);
    ::setenv("TIV_PROGRAM_DIR", (dir_ + "/").c_str(), 1);
    EXPECT_EQ(tiv::programFolder(), dir_); // no trailing "/"
    ::unsetenv("TIV_PROGRAM_DIR");
    EXPECT_EQ(tiv::programFolder(), fs::canonical("/proc/self/exe").parent_path().string());
    EXPECT_EQ(tiv::shortPathName("/a/Nome Longo.txt"), "/a/Nome Longo.txt");
}

const char *kRegistry =
    "; registry stand-in\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\EPSON\\InterfaceEpson]\r\n"
    "Caminho=C:\\EPSON\\\r\n"
    "  Porta = COM1 \n"
    "Vazio=\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\TOLVERA\\Sistemas Integrados Tolvera\\Quorin]\n"
    "EpLog=1\n"
    "Texto=\"  com brancos  \"\n";

TEST_F(SystemTest, RegistryLookUps) {
    write("registry.ini", kRegistry);
    EXPECT_EQ(tiv::registryPath(), dir_ + "/registry.ini");
    struct Case {
        const char *root;
        const char *key;
        const char *name;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"HKEY_LOCAL_MACHINE", "SOFTWARE\\EPSON\\InterfaceEpson", "Caminho", "C:\\EPSON\\"},
        {"hkey_local_machine", "software\\epson\\interfaceepson", "CAMINHO", "C:\\EPSON\\"},
        {"HKLM", "\\SOFTWARE\\EPSON\\InterfaceEpson\\", "porta", "COM1"},
        {"HKEY_LOCAL_MACHINE", "SOFTWARE\\EPSON\\InterfaceEpson", "Vazio", ""},
        {"HKEY_LOCAL_MACHINE", "Software\\TOLVERA\\Sistemas Integrados Tolvera\\Quorin", "EpLog",
         "1"},
        {"HKEY_LOCAL_MACHINE", "Software\\TOLVERA\\Sistemas Integrados Tolvera\\Quorin", "Texto",
         "  com brancos  "},
        // Missing value, missing key, value of another key, another root.
        {"HKEY_LOCAL_MACHINE", "SOFTWARE\\EPSON\\InterfaceEpson", "EpLog", std::nullopt},
        {"HKEY_LOCAL_MACHINE", "SOFTWARE\\EPSON\\Outra", "Caminho", std::nullopt},
        {"HKEY_LOCAL_MACHINE", "SOFTWARE\\EPSON", "Caminho", std::nullopt},
        {"HKEY_CURRENT_USER", "SOFTWARE\\EPSON\\InterfaceEpson", "Caminho", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(tiv::registryReadString(c.root, c.key, c.name), c.expected)
            << c.root << "\\" << c.key << " " << c.name;
    EXPECT_TRUE(tiv::registryKeyExists("HKEY_LOCAL_MACHINE", "software\\EPSON\\interfaceepson"));
    EXPECT_FALSE(tiv::registryKeyExists("HKEY_LOCAL_MACHINE", "SOFTWARE\\EPSON"));
}

TEST_F(SystemTest, RegistryMissingFileAndPathOverride) {
    EXPECT_EQ(
        tiv::registryReadString("HKEY_LOCAL_MACHINE", "SOFTWARE\\EPSON\\InterfaceEpson", "Caminho"),
        std::nullopt);
    EXPECT_FALSE(tiv::registryKeyExists("HKEY_LOCAL_MACHINE", "SOFTWARE\\EPSON\\InterfaceEpson"));

    write("outro.ini", "[HKEY_LOCAL_MACHINE\\A]\nB=c\n");
    ::setenv("TIV_REGISTRY", (dir_ + "/outro.ini").c_str(), 1);
    EXPECT_EQ(tiv::registryPath(), dir_ + "/outro.ini");
    EXPECT_EQ(tiv::registryReadString("HKEY_LOCAL_MACHINE", "A", "b"), "c");
    // A folder where the file should be is as good as no file.
    ::setenv("TIV_REGISTRY", dir_.c_str(), 1);
    EXPECT_EQ(tiv::registryReadString("HKEY_LOCAL_MACHINE", "A", "b"), std::nullopt);
}

TEST_F(SystemTest, LibraryNamesMapToSharedObjects) {
    EXPECT_EQ(tiv::sharedLibraryName("InterfaceEpson.dll"), "libInterfaceEpson.so");
    EXPECT_EQ(tiv::sharedLibraryName("sign_bema.dll"), "libsign_bema.so");
    EXPECT_EQ(tiv::sharedLibraryName("SIGN_BEMA.DLL"), "libSIGN_BEMA.so");
    EXPECT_EQ(tiv::sharedLibraryName("libfoo.so"), "libfoo.so");
    EXPECT_EQ(tiv::sharedLibraryName("libfoo.so.1"), "libfoo.so.1");
    EXPECT_EQ(tiv::sharedLibraryName("sub\\Foo.dll"), "sub/libFoo.so");
}

TEST_F(SystemTest, LoadsALibraryBesideThePlatformLibrary) {
    ASSERT_TRUE(tiv::fileExists(tiv::platformLibraryFolder() + "/libTivTestLib.so"))
        << "the test library must be built into " << tiv::platformLibraryFolder();
    tiv::ModuleHandle h = tiv::loadLibrary("TivTestLib.dll");
    ASSERT_NE(h, 0u) << tiv::lastLoadError();
    EXPECT_EQ(tiv::lastLoadError(), "");
    auto answer = reinterpret_cast<int (*)()>(tiv::getProcAddress(h, "tiv_test_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(tiv::getProcAddress(h, "EPSON_Nao_Existe"), nullptr);
    tiv::freeLibrary(h);
}

TEST_F(SystemTest, LoadsThroughTheSystemSearchPath) {
    // Not beside libtivplatform.so: found by the system loader.
    tiv::ModuleHandle h = tiv::loadLibrary("pugixml.dll");
    ASSERT_NE(h, 0u) << tiv::lastLoadError();
    EXPECT_NE(tiv::getProcAddress(h, "_ZN4pugi12xml_documentC1Ev"), nullptr);
    tiv::freeLibrary(h);
}

TEST_F(SystemTest, AMissingLibraryAnswersZero) {
    EXPECT_EQ(tiv::loadLibrary("NaoExiste.dll"), 0u);
    EXPECT_NE(tiv::lastLoadError().find("libNaoExiste.so"), std::string::npos)
        << tiv::lastLoadError();
    EXPECT_EQ(tiv::loadLibrary(""), 0u);
    EXPECT_EQ(tiv::getProcAddress(0, "tiv_test_answer"), nullptr);
    tiv::freeLibrary(0); // harmless
}

TEST_F(SystemTest, FilesAndFolders) {
    const std::string sub = dir_ + "/Dados/MenuFiscal";
    EXPECT_FALSE(tiv::directoryExists(sub));
    EXPECT_TRUE(tiv::forceDirectories(sub));
    EXPECT_TRUE(tiv::directoryExists(sub));
    EXPECT_TRUE(tiv::forceDirectories(sub)); // already there
    EXPECT_FALSE(tiv::fileExists(sub));      // a folder is not a file
    EXPECT_FALSE(tiv::forceDirectories(""));

    write("a.txt", "1");
    write("B.TXT", "2");
    write("ab.cds", "3");
    write("semponto", "4");
    tiv::forceDirectories(dir_ + "/pasta.txt"); // folders are not listed
    EXPECT_TRUE(tiv::fileExists(dir_ + "/a.txt"));
    EXPECT_FALSE(tiv::directoryExists(dir_ + "/a.txt"));
    using V = std::vector<std::string>;
    EXPECT_EQ(tiv::findFiles(dir_, "*.txt"), (V{"B.TXT", "a.txt"}));
    EXPECT_EQ(tiv::findFiles(dir_, "?b.*"), (V{"ab.cds"}));
    EXPECT_EQ(tiv::findFiles(dir_, "*.*"), (V{"B.TXT", "a.txt", "ab.cds", "semponto"}));
    EXPECT_EQ(tiv::findFiles(dir_, "*.xml"), V{});
    EXPECT_EQ(tiv::findFiles(dir_ + "/naoexiste", "*"), V{});

    EXPECT_TRUE(tiv::renameFile(dir_ + "/a.txt", dir_ + "/c.txt"));
    EXPECT_FALSE(tiv::fileExists(dir_ + "/a.txt"));
    EXPECT_EQ(tiv::readFile(dir_ + "/c.txt"), "1");
    // As on the host platform, renaming onto an existing file is refused.
    EXPECT_FALSE(tiv::renameFile(dir_ + "/c.txt", dir_ + "/B.TXT"));
    EXPECT_EQ(tiv::readFile(dir_ + "/B.TXT"), "2");
    EXPECT_FALSE(tiv::renameFile(dir_ + "/naoexiste", dir_ + "/x"));

    tiv::appendLine(dir_ + "/log.txt", "primeira");
    tiv::appendLine(dir_ + "/log.txt", "segunda");
    EXPECT_EQ(tiv::readFile(dir_ + "/log.txt"), "primeira\nsegunda\n");
    EXPECT_THROW(tiv::appendLine(dir_ + "/naoexiste/log.txt", "x"), tiv::Error);
    EXPECT_THROW(tiv::readFile(dir_ + "/naoexiste.txt"), tiv::Error);
    EXPECT_THROW(tiv::readFile(dir_), tiv::Error);
}

TEST_F(SystemTest, AtomicWriteReplacesWholeFiles) {
    const std::string path = dir_ + "/Pravell.cds";
    tiv::writeFileAtomic(path, "old");
    EXPECT_EQ(tiv::readFile(path), "old");
    ::chmod(path.c_str(), 0640);
    tiv::writeFileAtomic(path, std::string(100000, 'n'));
    EXPECT_EQ(tiv::readFile(path), std::string(100000, 'n'));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), std::vector<std::string>{"Pravell.cds"}); // no temporary left
}

TEST_F(SystemTest, AtomicWriteFailingLeavesTheOldFileIntact) {
    // Failing half-way through the data: the file-size limit stops the write.
    const std::string path = dir_ + "/dados.cds";
    tiv::writeFileAtomic(path, "old contents");
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        tiv::writeFileAtomic(path, std::string(1 << 20, 'x'));
    } catch (const tiv::Error &e) {
        threw = true;
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(threw);
    EXPECT_EQ(tiv::readFile(path), "old contents");
    EXPECT_EQ(entries(), std::vector<std::string>{"dados.cds"});

    // Failing at the rename: the target is a folder.
    tiv::forceDirectories(dir_ + "/pasta");
    tiv::writeFileAtomic(dir_ + "/pasta/dentro", "kept");
    EXPECT_THROW(tiv::writeFileAtomic(dir_ + "/pasta", "new"), tiv::Error);
    EXPECT_EQ(tiv::readFile(dir_ + "/pasta/dentro"), "kept");
    EXPECT_EQ(entries(), (std::vector<std::string>{"dados.cds", "pasta"}));

    // Failing at the start: no folder to write in.
    EXPECT_THROW(tiv::writeFileAtomic(dir_ + "/naoexiste/x.cds", "new"), tiv::Error);
}

TEST(ProcessMessagesTest, HookIsCalledWhenSet) {
    tiv::processMessages(); // nothing installed: does nothing
    int calls = 0;
    tiv::setProcessMessagesHook([&] { ++calls; });
    tiv::processMessages();
    tiv::processMessages();
    EXPECT_EQ(calls, 2);
    tiv::setProcessMessagesHook(nullptr);
    tiv::processMessages();
    EXPECT_EQ(calls, 2);
}

} // namespace
