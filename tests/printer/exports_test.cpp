// The library exports exactly the 189 entry points (and the control API), read from the ELF
// file itself; each variant build lacks exactly one.
#include <elf.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "fixture.h"

namespace {

std::vector<std::string> listed() {
    std::ifstream in(std::filesystem::path(ECFSIM_TEST_DATA_DIR) / "epson-entry-points.txt");
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) names.push_back(line);
    return names;
}

std::vector<std::string> expanded(bool classic) {
    std::vector<std::string> names;
#define ECFSIM_NAME(name, params, args) names.push_back(#name);
    if (classic) {
        EPSON_CLASSIC_ENTRY_POINTS(ECFSIM_NAME)
    } else {
        EPSON_ESC_ECF_ENTRY_POINTS(ECFSIM_NAME)
    }
#undef ECFSIM_NAME
    return names;
}

// Defined global symbols of the dynamic symbol table.
std::set<std::string> exported(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string elf((std::istreambuf_iterator<char>(in)), {});
    std::set<std::string> out;
    if (elf.size() < sizeof(Elf64_Ehdr)) return out;
    auto *eh = reinterpret_cast<const Elf64_Ehdr *>(elf.data());
    if (eh->e_ident[EI_CLASS] != ELFCLASS64 ||
        eh->e_shoff + eh->e_shnum * sizeof(Elf64_Shdr) > elf.size())
        return out;
    auto *sh = reinterpret_cast<const Elf64_Shdr *>(elf.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; ++i) {
        if (sh[i].sh_type != SHT_DYNSYM) continue;
        const Elf64_Shdr &strtab = sh[sh[i].sh_link];
        auto *sym = reinterpret_cast<const Elf64_Sym *>(elf.data() + sh[i].sh_offset);
        for (std::size_t k = 0; k < sh[i].sh_size / sizeof(Elf64_Sym); ++k) {
            if (sym[k].st_shndx == SHN_UNDEF || ELF64_ST_BIND(sym[k].st_info) == STB_LOCAL)
                continue;
            out.insert(elf.data() + strtab.sh_offset + sym[k].st_name);
        }
    }
    return out;
}

std::set<std::string> withPrefix(const std::set<std::string> &all, const std::string &prefix,
                                 bool with) {
    std::set<std::string> out;
    for (const auto &s : all)
        if (s.starts_with(prefix) == with) out.insert(s);
    return out;
}

TEST(Exports, SharedListMatchesTheNamesInBindingOrder) {
    std::vector<std::string> names = expanded(true);
    EXPECT_EQ(names.size(), 134u);
    std::vector<std::string> esc = expanded(false);
    EXPECT_EQ(esc.size(), 55u);
    names.insert(names.end(), esc.begin(), esc.end());
    EXPECT_EQ(names, listed());
}

TEST(Exports, LibraryExportsExactlyTheEntryPointsAndControls) {
    std::set<std::string> all = exported(ECFSIM_LIBRARY);
    auto names = listed();
    EXPECT_EQ(withPrefix(all, "EPSON_", true), std::set<std::string>(names.begin(), names.end()));
    for (const auto &other : withPrefix(all, "EPSON_", false))
        EXPECT_TRUE(other.starts_with("ECFSIM_")) << other;
    EXPECT_TRUE(all.contains("ECFSIM_Reset"));
}

TEST(Exports, EachVariantLacksOnlyItsOneEntryPoint) {
    const struct {
        const char *library, *missing;
    } variants[] = {{ECFSIM_NOESC_LIBRARY, "EPSON_ESC_ECF_Impressora_Cortar_Papel"},
                    {ECFSIM_NOVERSION_LIBRARY, "EPSON_Obter_Versao_DLL"}};
    for (const auto &v : variants) {
        std::set<std::string> all = exported(v.library);
        auto names = listed();
        std::set<std::string> want(names.begin(), names.end());
        ASSERT_EQ(want.erase(v.missing), 1u) << v.missing;
        EXPECT_EQ(withPrefix(all, "EPSON_", true), want) << v.library;
        EXPECT_FALSE(withPrefix(all, "ECFSIM_", true).empty()) << v.library;
    }
}

} // namespace
