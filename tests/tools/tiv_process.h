#pragma once
// Runs the tiv executable as a person would, each test in a folder of its own.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

struct ProcessResult {
    int status = -1; // exit status; -1 when it did not exit normally
    std::string out;
};

// Runs a shell command and collects its standard output.
inline ProcessResult runCommand(const std::string &command) {
    ProcessResult r;
    FILE *p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class TivProcessTest : public ::testing::Test {
  protected:
    explicit TivProcessTest(std::string prefix) : prefix_(std::move(prefix)) {}
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  (prefix_ + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    // tiv with this test's folder as its program folder; standard error goes to errorPath.
    std::string tivCommand(const std::string &args, const std::string &errorPath,
                           const std::string &environment = "") const {
        return environment + "TIV_PROGRAM_DIR='" + folder_.string() + "' '" + TIV_EXECUTABLE +
               "' " + args + " 2>'" + errorPath + "'";
    }

    std::filesystem::path folder_;

  private:
    std::string prefix_;
};
