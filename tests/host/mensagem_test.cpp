#include <gtest/gtest.h>

#include "tivhost/host.h"

using namespace tivhost;

namespace {

class HostMensagem : public ::testing::Test {
  protected:
    void TearDown() override { setDialogHandler({}); }
};

} // namespace

TEST_F(HostMensagem, HandsEveryFieldToTheHandlerAndReturnsItsAnswer) {
    tiv::TClientDataSet ds;
    std::vector<Dialog> seen;
    bool answer = true;
    setDialogHandler([&](const Dialog &d) {
        seen.push_back(d);
        return answer;
    });
    EXPECT_TRUE(Mensagem("Imprimir novamente?", "cap", "N", "S", 3, "extra", "001", 7, &ds));
    answer = false;
    EXPECT_FALSE(Mensagem("Aviso", "", "N", "N", 1, "", "002", 0, nullptr));
    ASSERT_EQ(seen.size(), 2u);
    const Dialog &d = seen[0];
    EXPECT_EQ(d.text, "Imprimir novamente?");
    EXPECT_EQ(d.caption, "cap");
    EXPECT_EQ(d.flag, "N");
    EXPECT_EQ(d.askMark, "S");
    EXPECT_EQ(d.kind, 3);
    EXPECT_EQ(d.extra, "extra");
    EXPECT_EQ(d.colourScheme, "001");
    EXPECT_EQ(d.number, 7);
    EXPECT_EQ(d.dataset, &ds);
    EXPECT_EQ(seen[1].askMark, "N");
    EXPECT_EQ(seen[1].dataset, nullptr);
}

TEST_F(HostMensagem, WithoutHandlerWritesUtf8ToStandardErrorAndAnswersNo) {
    setDialogHandler([](const Dialog &) { return true; });
    setDialogHandler({}); // uninstalled again
    ::testing::internal::CaptureStderr();
    bool answer = Mensagem("Impressora n\xE3o responde.", "", "N", "S", 3, "", "001", 0, nullptr);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(answer);
    EXPECT_EQ(err, "Impressora n\xC3\xA3o responde.\n");
}
