// Whole-file reads refuse what is not a regular file, and files past the
// limit, without blocking on a FIFO or reading a device without end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>

#include "tivplatform/dataset.h"
#include "tivplatform/errors.h"
#include "tivplatform/system.h"

namespace {

namespace fs = std::filesystem;

class FileReadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "tivread-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        fifo_ = dir_ + "/fifo";
        ASSERT_EQ(::mkfifo(fifo_.c_str(), 0600), 0);
    }
    void TearDown() override {
        ::unsetenv("TIV_REGISTRY");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string write(const std::string &name, const std::string &text) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // Runs `read` and answers the error text it raised ("" when it raised
    // none). A read still waiting after a few seconds is a failure; a writer
    // then opens the FIFO so that the waiting thread can finish.
    std::string errorOf(std::function<void()> read) {
        auto done = std::async(std::launch::async, [read] {
            try {
                read();
            } catch (const tiv::Error &e) {
                return std::string(e.what());
            }
            return std::string();
        });
        if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "the read blocked";
            int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
        return done.get();
    }
    std::string dir_;
    std::string fifo_;
};

TEST_F(FileReadTest, SpecialFilesAreRefusedWithThePathAndTheReason) {
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {"/dev/zero", "not a regular file"}, // would never end
        {"", "not a regular file"},          // the FIFO, filled in below; would wait for a writer
        {"", "not a regular file"},          // the folder
        {"", "No such file or directory"},
    };
    std::vector<Case> table(std::begin(cases), std::end(cases));
    table[1].path = fifo_;
    table[2].path = dir_;
    table[3].path = dir_ + "/none.cds";
    for (const Case &c : table) {
        const std::string error = errorOf([&] { (void)tiv::readFile(c.path); });
        EXPECT_EQ(error, "cannot read " + c.path + ": " + c.reason);
    }
}

TEST_F(FileReadTest, SizeLimitAndOffset) {
    const std::string path = write("dados.txt", "0123456789");
    EXPECT_EQ(tiv::readFile(path, 0, 10), "0123456789");         // exactly the limit
    EXPECT_EQ(tiv::readFile(path, 0, UINT64_MAX), "0123456789"); // no limit at all
    EXPECT_EQ(errorOf([&] { (void)tiv::readFile(path, 0, 9); }),
              "cannot read " + path + ": larger than 9 bytes");
    EXPECT_EQ(tiv::readFile(path, 4, 6), "456789"); // the limit counts what is read
    EXPECT_EQ(tiv::readFile(path, 10), "");
    EXPECT_EQ(tiv::readFile(path, 99), ""); // past the end
    EXPECT_EQ(tiv::kMaxReadFileSize, uint64_t{256} << 20);
}

TEST_F(FileReadTest, StreamsAreReadUpToTheLimit) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "abcdef", 6), 6);
    ::close(fds[1]);
    EXPECT_EQ(tiv::readStream(fds[0], "the pipe", 6), "abcdef");
    ::close(fds[0]);

    const int zero = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(zero, 0);
    EXPECT_EQ(errorOf([&] { (void)tiv::readStream(zero, "standard input", 1 << 20); }),
              "cannot read standard input: larger than 1 MiB");
    ::close(zero);
}

TEST_F(FileReadTest, ARegistryThatIsNotARegularFileReadsAsMissing) {
    for (const std::string &path : {fifo_, std::string("/dev/zero"), dir_}) {
        ::setenv("TIV_REGISTRY", path.c_str(), 1);
        std::optional<std::string> value = "unread";
        EXPECT_EQ(errorOf([&] { value = tiv::registryReadString("HKLM", "A", "b"); }), "");
        EXPECT_EQ(value, std::nullopt) << path;
        EXPECT_FALSE(tiv::registryKeyExists("HKLM", "A")) << path;
    }
}

TEST_F(FileReadTest, DataSetsLoadOnlyRegularFiles) {
    tiv::TClientDataSet ds;
    for (const std::string &path : {fifo_, std::string("/dev/zero"), dir_}) {
        const std::string error = errorOf([&] { ds.loadFromFile(path); });
        EXPECT_NE(error.find("cannot read " + path + ": not a regular file"), std::string::npos)
            << error;
    }
    EXPECT_THROW(ds.loadFromFile(dir_ + "/none.cds"), tiv::DataError);
}

} // namespace
