#include "tivplatform/params.h"

#include <gtest/gtest.h>

#include "tivplatform/stringlist.h"

namespace {

using tiv::Variant;

TEST(ParamsTest, BuildReadByNameAndReplace) {
    tiv::ParamArray p = tiv::makeParams({{"CODFILIAL", 3}, {"EsquemaCor", "AZUL"}, {"Valor", 1.5}});
    ASSERT_TRUE(tiv::isWellFormedParams(p));
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p.at(0).at(0).toString(), "CODFILIAL");
    // Names match without regard to case.
    const Variant *cor = tiv::findParam(p, "ESQUEMACOR");
    ASSERT_NE(cor, nullptr);
    EXPECT_EQ(cor->toString(), "AZUL");
    EXPECT_EQ(tiv::findParam(p, "codfilial")->toInteger(), 3);
    EXPECT_EQ(tiv::findParam(p, "NAOEXISTE"), nullptr);

    tiv::setParam(p, "valor", 2.5); // replaces in place, keeps the first spelling
    EXPECT_EQ(p.size(), 3u);
    EXPECT_EQ(p.at(2).at(0).toString(), "Valor");
    EXPECT_EQ(tiv::findParam(p, "VALOR")->toReal(), 2.5);
    tiv::setParam(p, "NOVO", "x"); // appends
    EXPECT_EQ(p.size(), 4u);
    EXPECT_EQ(tiv::findParam(p, "novo")->toString(), "x");

    Variant fresh; // an unassigned variant becomes an array
    tiv::setParam(fresh, "A", 1);
    EXPECT_EQ(tiv::findParam(fresh, "a")->toInteger(), 1);
}

TEST(ParamsTest, MalformedArraysSayWhatIsWrong) {
    struct Case {
        Variant params;
        const char *message;
    };
    const Case cases[] = {
        {Variant("CODFILIAL"), "the parameter array is text \"CODFILIAL\", not an array"},
        {Variant(std::vector<Variant>{Variant(1)}),
         "element 0 of the parameter array is integer 1, not a [name, value] pair"},
        {Variant(std::vector<Variant>{Variant(std::vector<Variant>{Variant("A"), Variant(1)}),
                                      Variant(std::vector<Variant>{Variant("B")})}),
         "element 1 of the parameter array is array of 1 elements, not a [name, value] pair"},
        {Variant(std::vector<Variant>{Variant(std::vector<Variant>{Variant(5), Variant(1)})}),
         "element 0 of the parameter array has the name integer 5, not a text"},
    };
    for (const auto &c : cases) {
        EXPECT_FALSE(tiv::isWellFormedParams(c.params));
        try {
            tiv::findParam(c.params, "A");
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const tiv::DataError &e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        Variant copy = c.params;
        EXPECT_THROW(tiv::setParam(copy, "A", 1), tiv::DataError);
    }
    EXPECT_TRUE(tiv::isWellFormedParams(Variant(std::vector<Variant>{}))); // no pairs is fine
}

TEST(ParamsTest, ArgumentsByPosition) {
    tiv::ArgList args(std::vector<Variant>{Variant("a"), Variant(2)});
    EXPECT_EQ(tiv::argAt(args, 0).toString(), "a");
    EXPECT_EQ(tiv::argAt(args, 1).toInteger(), 2);
    try {
        tiv::argAt(args, 2);
        FAIL() << "no error";
    } catch (const tiv::RangeError &e) {
        EXPECT_STREQ(e.what(), "argument 2 is out of range: the list has 2 arguments");
    }
    EXPECT_THROW(tiv::argAt(Variant(), 0), tiv::RangeError);
}

TEST(ParamsTest, ResultWritesNeverGrowTheArray) {
    tiv::ResultArray r = Variant::array(3);
    tiv::setResult(r, 0, "ok");
    tiv::setResult(r, 2, 9.5);
    EXPECT_EQ(r.at(0).toString(), "ok");
    EXPECT_TRUE(r.at(1).isEmpty());
    EXPECT_EQ(r.at(2).toReal(), 9.5);
    try {
        tiv::setResult(r, 3, 1);
        FAIL() << "no error";
    } catch (const tiv::RangeError &e) {
        EXPECT_STREQ(e.what(), "result element 3 is out of range: the result array has 3 elements");
    }
    EXPECT_THROW(tiv::setResult(r, static_cast<size_t>(-1), 1), tiv::RangeError);
    EXPECT_EQ(r.size(), 3u);
    Variant notArray("x");
    EXPECT_THROW(tiv::setResult(notArray, 0, 1), tiv::RangeError);
    EXPECT_EQ(notArray.toString(), "x");
}

TEST(StringListTest, LinesTextAndBounds) {
    tiv::TStringList l;
    l.add("um");
    l.add("tres");
    l.insert(1, "dois");
    l.insert(3, "quatro"); // at the end is allowed
    EXPECT_EQ(l.text(), "um\r\ndois\r\ntres\r\nquatro\r\n");
    EXPECT_EQ(l.text("\n"), "um\ndois\ntres\nquatro\n");
    l.erase(0);
    EXPECT_EQ(l.at(0), "dois");
    EXPECT_THROW(l.at(3), tiv::RangeError);
    EXPECT_THROW(l.insert(5, "x"), tiv::RangeError);
    EXPECT_THROW(l.erase(3), tiv::RangeError);

    struct Case {
        const char *text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\r\n", {"a"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"", {}},
        {"\r\n", {""}},
    };
    for (const auto &c : cases) {
        l.setText(c.text);
        EXPECT_EQ(l.lines(), c.lines) << c.text;
    }
}

} // namespace
