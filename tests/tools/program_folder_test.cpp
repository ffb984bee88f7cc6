// Where the driver's files go when the host does not say.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "program_folder.h"

namespace {

std::string env(const char *name) {
    const char *v = std::getenv(name);
    return v ? v : "<unset>";
}

TEST(ProgramFolderTest, TheOwnFolderWhenWritableElseTheUsersStateFolderUnlessOneIsGiven) {
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() /
                                          ("tiv-program-folder-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    setenv("XDG_STATE_HOME", (scratch / "state").c_str(), 1);

    unsetenv("TIV_PROGRAM_DIR");
    tivtool::settleProgramFolder(scratch.string());
    EXPECT_EQ(env("TIV_PROGRAM_DIR"), "<unset>") << "a writable own folder stays";

    tivtool::settleProgramFolder((scratch / "not-there").string());
    EXPECT_EQ(env("TIV_PROGRAM_DIR"), (scratch / "state" / "tiv").string());
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "state" / "tiv"));

    unsetenv("TIV_PROGRAM_DIR");
    tivtool::settleProgramFolder();
    EXPECT_EQ(env("TIV_PROGRAM_DIR"), (scratch / "state" / "tiv").string())
        << "no own folder (an interpreter's host)";

    setenv("TIV_PROGRAM_DIR", "/given", 1);
    tivtool::settleProgramFolder((scratch / "not-there").string());
    EXPECT_EQ(env("TIV_PROGRAM_DIR"), "/given");

    unsetenv("TIV_PROGRAM_DIR");
    unsetenv("XDG_STATE_HOME");
    std::filesystem::remove_all(scratch);
}

} // namespace
