#include <gtest/gtest.h>

#include "analysis/ItemIdList.h"
#include "analysis/ResultTable.h"

namespace vantrel {
namespace {

TEST(ResultTable, RowsAreNumberedAndOutOfRangeCellsIgnored) {
    ResultTable t;
    EXPECT_EQ(t.AppendRow("1"), 0);
    EXPECT_EQ(t.AppendRow("2"), 1);
    t.SetCell(1, kItemUrl, "u");
    t.SetCell(1, kColumnCount, "ignored");
    t.SetCell(5, kTitle, "ignored");
    EXPECT_EQ(t.Cell(1, kItemUrl), "u");
    EXPECT_EQ(t.Cell(1, kSeq), "2");
    EXPECT_EQ(t.Cell(9, 0), "");
    EXPECT_EQ(t.Cell(0, -1), "");
    t.Clear();
    EXPECT_EQ(t.RowCount(), 0);
}

TEST(ResultTable, HiddenColumnsHaveZeroWidth) {
    const auto& c = Columns();
    for (int hidden : {kItemUrl, kImageUrl, kItemId}) {
        EXPECT_EQ(c[hidden].width, 0) << hidden;
    }
    EXPECT_EQ(c[kTitle].width, 380);
    EXPECT_EQ(c[kListPrice].align, Align::Right);
}

TEST(ItemIdList, ContainsIsAWholeLineTest) {
    ItemIdList list;
    EXPECT_TRUE(list.AppendLine("91234"));
    // A substring test would drop 123 because "91234" holds it.
    EXPECT_TRUE(list.AppendLine("123"));
    EXPECT_FALSE(list.AppendLine("123"));
    EXPECT_EQ(list.Text(), "91234\r\n123\r\n");
    EXPECT_TRUE(list.ContainsLine("123"));
    EXPECT_FALSE(list.ContainsLine("12"));
}

TEST(ItemIdList, SplitLines) {
    struct Case {
        const char* text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a\r\nb\r\nc\r\n", {"a", "b", "c"}},
        {"a\r\n\r\nc\r\n", {"a", "", "c"}},
        {"a\r\nb", {"a", "b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ItemIdList::SplitLines(c.text), c.lines) << c.text;
    }
}

}  // namespace
}  // namespace vantrel
