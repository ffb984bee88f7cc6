#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "../common/printer_folder.h"
#include "ecfsim/ecfsim.h"
#include "epson/entry_points.h"

#define ECFSIM_TEST_DECLARE(name, params, args) extern "C" int32_t name params;
EPSON_ENTRY_POINTS(ECFSIM_TEST_DECLARE)
#undef ECFSIM_TEST_DECLARE

// A fresh printer in its own temporary folder, on 1 March 2024 at 09:00.
class PrinterTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(startVirtualPrinter(dir, config().c_str()), ""); }
    void TearDown() override { ECFSIM_ClearFaults(); }
    virtual std::string config() {
        return R"({"clock":"2024-03-01 09:00:00",
                   "payments":["Dinheiro",{"name":"Cartao","linked":true}],
                   "nonFiscal":["RECEBIMENTO"]})";
    }

    // Calls a reply entry point with a buffer of `size` blanks plus the terminator byte the
    // driver adds, and checks nothing is written past it.
    template <class F> std::string reply(std::size_t size, F call, int32_t *ret = nullptr) {
        std::string buf(size + 1 + 16, '#');
        std::fill(buf.begin(), buf.begin() + static_cast<long>(size), ' ');
        buf[size] = '\0';
        int32_t r = call(buf.data());
        if (ret) *ret = r;
        EXPECT_EQ(buf.substr(size + 1), std::string(16, '#')) << "written past the buffer";
        return std::string(buf.c_str());
    }

    std::string status() {
        return reply(20, [](char *b) { return EPSON_Obter_Estado_Impressora(b); });
    }
    std::string result() { return status().substr(16, 4); }
    unsigned fiscalBits() { return std::stoul(status().substr(12, 4), nullptr, 16); }
    char docState() {
        std::string b(58, '\0');
        EPSON_Obter_Estado_Cupom(b.data());
        return b[1];
    }
    nlohmann::json state() { return nlohmann::json::parse(ECFSIM_State()); }
    int64_t counter(const char *name) { return state()["counters"][name].get<int64_t>(); }
    std::string counters() {
        return reply(84, [](char *b) { return EPSON_Obter_Contadores(b); });
    }

    PrinterFolder folder{"ecfsim-test"};
    std::string dir = folder.path;
};

// A whole file's bytes; empty when it cannot be read.
inline std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
