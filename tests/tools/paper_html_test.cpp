// The paper roll as a page: documents cut apart, marks, escaping, 48 columns, CP1252 read as
// UTF-8, and `tiv paper` as a person runs it.
#include <cstdlib>
#include <fstream>

#include "paper_html.h"
#include "tiv_process.h"

namespace {

using tivtool::paperHtml;

struct Shown {
    std::string marks, text; // the classes beside "ln", the escaped text
};

// Every line the page shows, in order.
std::vector<Shown> shownLines(const std::string &page) {
    std::vector<Shown> out;
    const std::string open = "<div class=\"ln";
    for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at + 1)) {
        const size_t classEnd = page.find("\">", at);
        const size_t end = page.find("</div>", classEnd);
        std::string marks = page.substr(at + open.size(), classEnd - at - open.size());
        if (!marks.empty() && marks[0] == ' ') marks.erase(0, 1);
        out.push_back({marks, page.substr(classEnd + 2, end - classEnd - 2)});
    }
    return out;
}

// The marks of the first shown line that begins with `text`.
std::string marksOf(const std::vector<Shown> &lines, const std::string &text) {
    for (const auto &line : lines)
        if (line.text.starts_with(text)) return line.marks;
    return "(not shown)";
}

size_t count(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Characters, not bytes.
size_t columnsOf(const std::string &utf8) {
    size_t n = 0;
    for (char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

const std::string kRule(48, '-');

// What the virtual printer ends every document with.
std::vector<std::string> trailer() {
    auto spread = [](const std::string &left, const std::string &right) {
        return left + std::string(48 - left.size() - right.size(), ' ') + right;
    };
    return {kRule, spread("EPSON ECF-IF", "TM-T900FA"),
            spread("ECF:001 LJ:0001", "FAB:EP0808080800000001"), ""};
}

std::vector<std::string> document(const std::string &coo, const std::string &title,
                                  const std::vector<std::string> &body) {
    std::vector<std::string> lines = {"        MERCADO BOA VISTA", kRule,
                                      "10/12/2026 09:00:00       CCF:000001 COO:" + coo,
                                      "                " + title};
    lines.insert(lines.end(), body.begin(), body.end());
    for (const auto &l : trailer())
        lines.push_back(l);
    return lines;
}

// A receipt with its second item cancelled; the same receipt cancelled after its closing; a
// report still printing, with text that needs escaping and a line too long for the paper.
std::vector<std::string> sampleRoll() {
    std::vector<std::string> roll =
        document("000002", "CUPOM FISCAL",
                 {"ITEM CODIGO DESCRICAO", "    QTD UN VL UNIT(R$)                ST VL ITEM(R$)",
                  "001 7891 ARROZ", "    1,000 UN X 10,000                 T1800  10,00",
                  "002 7892 FEIJAO PRETO TIPO 1 EMBALAGEM DE UM QUILO COM DESCRICAO", "LONGA",
                  "    2,000 UN X 5,000                  T1800  10,00",
                  "desconto item 002                          -1,00",
                  "cancelamento item 002                      -9,00", "003 7893 LEITE",
                  "    1,000 UN X 4,000                  T1800   4,00",
                  "TOTAL R$                                   14,00"});
    const auto cancel = document("000003", "CANCELAMENTO",
                                 {"COO do cupom cancelado:                  000002",
                                  "Valor da operacao R$                     14,00"});
    roll.insert(roll.end(), cancel.begin(), cancel.end());
    for (const std::string &line : {std::string("                RELATORIO GERENCIAL"),
                                    std::string("<b>Tom & \"Jerry's\"</b>"),
                                    std::string(50, 'x') + "END", std::string("A\x01Z")})
        roll.push_back(line);
    return roll;
}

TEST(PaperHtmlTest, DocumentsAreCutApartWithTheirLogoAndCancellationsMarked) {
    const std::string page = paperHtml(sampleRoll(), "roll");
    ASSERT_TRUE(page.starts_with("<!DOCTYPE html>")) << page.substr(0, 100);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);

    // Two documents ended by the printer's trailer, each followed by a cut; the report at the
    // end is still printing.
    EXPECT_EQ(count(page, "<section "), 3u);
    EXPECT_EQ(count(page, "<div class=\"cut\""), 2u);
    const size_t receipt = page.find("<section class=\"doc cancelled\" data-title=\"CUPOM FISCAL\" "
                                     "data-coo=\"000002\">");
    const size_t cancellation = page.find("<section class=\"doc cancellation\" "
                                          "data-title=\"CANCELAMENTO\" data-coo=\"000003\">");
    const size_t report = page.find("<section class=\"doc open\">");
    ASSERT_NE(receipt, std::string::npos) << page;
    ASSERT_NE(cancellation, std::string::npos) << page;
    ASSERT_NE(report, std::string::npos) << page;
    EXPECT_LT(receipt, page.find("<div class=\"cut\""));
    EXPECT_LT(page.find("<div class=\"cut\""), cancellation);

    const auto lines = shownLines(page);
    struct Case {
        std::string begins, marks;
    };
    for (const Case &c : std::vector<Case>{
             {"cancelamento item 002", "cancel"},
             {"COO do cupom cancelado:", "cancel"},
             // The cancelled item struck through, its wrapped description, quantity line and
             // discount included; the items around it are not.
             {"002 7892 FEIJAO", "voided"},
             {"LONGA", "voided"},
             {"    2,000 UN X 5,000", "voided"},
             {"desconto item 002", "voided"},
             {"001 7891 ARROZ", ""},
             {"    1,000 UN X 10,000", ""},
             {"003 7893 LEITE", ""},
             {"EPSON ECF-IF", "logo"},
             {"ECF:001 LJ:0001", "logo"},
             {kRule, ""},
             {"ITEM CODIGO DESCRICAO", ""},
         })
        EXPECT_EQ(marksOf(lines, c.begins), c.marks) << c.begins;
    EXPECT_EQ(count(page, "class=\"ln logo\""), 4u) << "two lines in each ended document";
}

TEST(PaperHtmlTest, OpenReceiptCancelledAndVoucherCancelledMarkTheirDocument) {
    for (const std::vector<std::string> &body :
         {std::vector<std::string>{"                CUPOM FISCAL CANCELADO",
                                   "TOTAL CANCELADO R$                          5,00"},
          std::vector<std::string>{"             COMPROVANTE CANCELADO"}}) {
        const std::string page = paperHtml(document("000007", "CUPOM FISCAL", body), "");
        const auto lines = shownLines(page);
        EXPECT_NE(page.find("<section class=\"doc cancelled\""), std::string::npos) << body[0];
        for (const auto &line : body)
            EXPECT_EQ(marksOf(lines, line), "cancel") << line;
    }
}

TEST(PaperHtmlTest, TextIsEscapedAndNoLineIsWiderThanThePaper) {
    std::vector<std::string> roll = sampleRoll();
    std::string wide;
    for (int i = 0; i < 50; ++i)
        wide += "\xC3\x87"; // Ç: two bytes, one column
    roll.push_back(wide);
    const std::string title = "<script>alert(1)</script>";
    const std::string page = paperHtml(roll, title);

    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_NE(page.find("<title>&lt;script&gt;alert(1)&lt;/script&gt;</title>"), std::string::npos);
    EXPECT_NE(page.find("<div class=\"ln\">&lt;b&gt;Tom &amp; &quot;Jerry&#39;s&quot;&lt;/b&gt;"
                        "</div>"),
              std::string::npos);
    // A control character becomes the replacement mark, never a raw byte in the page.
    EXPECT_NE(page.find("<div class=\"ln\">A\xEF\xBF\xBDZ</div>"), std::string::npos);
    EXPECT_NE(page.find("width: 48ch"), std::string::npos);

    const auto lines = shownLines(page);
    for (const auto &line : lines) {
        std::string text = line.text; // the entities each count as one column
        for (const std::string entity : {"&lt;", "&gt;", "&amp;", "&quot;", "&#39;"})
            for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity))
                text.replace(at, entity.size(), "_");
        EXPECT_LE(columnsOf(text), 48u) << line.text;
    }
    // Too wide a line goes on in the next one, cut at 48 characters, not at 48 bytes.
    EXPECT_EQ(marksOf(lines, std::string(48, 'x')), "");
    EXPECT_EQ(marksOf(lines, "xxEND"), "");
    EXPECT_EQ(count(page, "<div class=\"ln\">" + wide.substr(0, 96) + "</div>"), 1u);
    EXPECT_EQ(count(page, "<div class=\"ln\">" + wide.substr(0, 4) + "</div>"), 1u);
}

class PaperCommandTest : public TivProcessTest {
  protected:
    PaperCommandTest() : TivProcessTest("tiv-paper-") {}

    // Exit status; standard error in `err`.
    int tiv(const std::string &args, std::string &err, const std::string &environment = "") {
        const std::string errPath = (folder_ / "stderr").string();
        const int status = runCommand(tivCommand(args, errPath, environment)).status;
        std::ifstream in(errPath);
        err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return status;
    }
    std::string page() const { return (folder_ / "roll.html").string(); }
};

// The roll file is CP1252, as the printer writes it; a line cut by a crash is left out.
TEST_F(PaperCommandTest, ReadsTheRollOfAPrinterFolderOrOfADemoFolder) {
    std::filesystem::create_directories(folder_ / "demo" / "ecf");
    for (const auto &roll : {folder_ / "paper.txt", folder_ / "demo" / "ecf" / "paper.txt"})
        std::ofstream(roll, std::ios::binary) << "A\xC7\xC3O\nCUPOM FISCAL\ncut by a cra";
    EXPECT_EQ(tivtool::readPaperRoll((folder_ / "paper.txt").string()),
              (std::vector<std::string>{"A\xC3\x87\xC3\x83O", "CUPOM FISCAL"}));

    struct Case {
        std::string args, environment;
    };
    for (const Case &c : std::vector<Case>{
             {"--state '" + folder_.string() + "'", ""},
             {"--state '" + (folder_ / "demo").string() + "'", ""},
             {"", "ECFSIM_DIR='" + folder_.string() + "' "},
         }) {
        std::filesystem::remove(page());
        std::string err;
        EXPECT_EQ(tiv("paper --html '" + page() + "' " + c.args, err, c.environment), 0)
            << c.args << err;
        EXPECT_EQ(err, "");
        std::ifstream in(page());
        const std::string html{std::istreambuf_iterator<char>(in), {}};
        EXPECT_NE(html.find("<div class=\"ln\">A\xC3\x87\xC3\x83O</div>"), std::string::npos)
            << c.args;
        EXPECT_EQ(html.find("cut by a cra"), std::string::npos);
    }
    // The same roll as text in UTF-8, for a terminal or a pipe.
    const ProcessResult text =
        runCommand(tivCommand("paper --text --state '" + folder_.string() + "'",
                              (folder_ / "stderr").string(), ""));
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "A\xC3\x87\xC3\x83O\nCUPOM FISCAL\n");
}

TEST_F(PaperCommandTest, NoRollOrAPageThatCannotBeWrittenIsAnErrorAndWritesNothing) {
    std::string err;
    std::filesystem::create_directories(folder_ / "empty");
    EXPECT_EQ(
        tiv("paper --html '" + page() + "' --state '" + (folder_ / "empty").string() + "'", err),
        1);
    EXPECT_NE(err.find("tiv: no paper roll in " + (folder_ / "empty").string()), std::string::npos)
        << err;
    EXPECT_FALSE(std::filesystem::exists(page()));

    std::ofstream(folder_ / "paper.txt") << "LINE\n";
    const std::string unwritable = (folder_ / "missing" / "roll.html").string();
    EXPECT_EQ(tiv("paper --html '" + unwritable + "' --state '" + folder_.string() + "'", err), 1);
    EXPECT_NE(err.find("tiv: the page: cannot write " + unwritable), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(unwritable));

    EXPECT_EQ(tiv("paper --state '" + folder_.string() + "'", err), 64)
        << "--html is required: a wrong command line";
}

} // namespace
