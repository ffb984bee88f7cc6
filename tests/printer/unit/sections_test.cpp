// The state's sections are written byte for byte as folders of the section layout hold them:
// each stored row, read back and written again, gives the same bytes.
#include <gtest/gtest.h>

#include "state_json.h"
#include "stored_folder.h"

namespace {

using nlohmann::json;

TEST(SectionsTest, EveryStoredSectionIsWrittenBackTheSame) {
    json f = stored::fixture();
    std::size_t seen = 0;
    for (const auto &section : ecfsim::stateSections()) {
        ASSERT_TRUE(f.at("sections").contains(section.name)) << section.name;
        const std::string bytes = stored::unhex(f.at("sections").at(section.name));
        ecfsim::State s = ecfsim::freshState();
        section.restore(bytes, s);
        EXPECT_EQ(stored::hex(section.save(s)), stored::hex(bytes)) << section.name;
        ++seen;
    }
    EXPECT_EQ(seen, f.at("sections").size());
}

TEST(SectionsTest, StoredItemsAreWrittenBackTheSame) {
    json f = stored::fixture();
    ASSERT_FALSE(f.at("items").empty());
    for (const auto &row : f.at("items")) {
        const std::string bytes = stored::unhex(row.at("data"));
        ecfsim::Item item = json::from_cbor(bytes).get<ecfsim::Item>();
        EXPECT_EQ(stored::hex(ecfsim::toCbor(item)), stored::hex(bytes));
    }
}

} // namespace
