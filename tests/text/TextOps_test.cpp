#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ReferenceTextOps.h"
#include "analysis/ItemIdList.h"
#include "analysis/TextOps.h"
#include "web/Encoding.h"

namespace vantrel::text {
namespace {

using namespace std::string_literals;

// GBK bytes of a UTF-8 literal.
std::string G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

// ---- Find / Contains -----------------------------------------------------------------------------

struct FindCase {
    std::string text;
    std::string marker;
    std::size_t from;
    Case c;
    std::size_t expected;
};

TEST(TextOps, FindTable) {
    const std::string zhong = G("中文");  // D6 D0 CE C4
    ASSERT_EQ(zhong, "\xD6\xD0\xCE\xC4");
    ASSERT_EQ(G("形"), "\xD0\xCE");
    const std::string price = G("当前价：<b>");
    const FindCase cases[] = {
        {"abc", "b", 0, Case::Sensitive, 1},
        {"abc", "abc", 0, Case::Sensitive, 0},
        {"abc", "abcd", 0, Case::Sensitive, npos},
        {"abcabc", "bc", 2, Case::Sensitive, 4},
        {"abc", "B", 0, Case::Sensitive, npos},
        {"abc", "B", 0, Case::Insensitive, 1},
        {"ABC", "abc", 0, Case::Insensitive, 0},
        // Empty marker: found at from in a non-empty text; the empty text contains nothing.
        {"abc", "", 0, Case::Sensitive, 0},
        {"abc", "", 2, Case::Sensitive, 2},
        {"abc", "", 3, Case::Sensitive, npos},
        {"", "", 0, Case::Sensitive, npos},
        {"", "a", 0, Case::Sensitive, npos},
        // A marker whose bytes straddle a character boundary does not match.
        {"\xB0\x41\x42", "AB", 0, Case::Sensitive, npos},  // B0 41 is one character
        {"\xB0\x41\x42", "B", 0, Case::Sensitive, 2},
        {"\xB0\x41\x41\x42", "AB", 0, Case::Sensitive, 2},
        {zhong, G("形"), 0, Case::Sensitive, npos},  // D0 CE = trail of 中 + lead of 文
        {zhong + G("形"), G("形"), 0, Case::Sensitive, 4},
        {"\x81\x40@", "@", 0, Case::Sensitive, 2},  // 丂 = 81 40: its trail byte is "@"
        {"\xD6\xD0\xD6\xD0", "\xD0\xD6", 0, Case::Sensitive, npos},
        // Long run of high bytes: only even offsets from the run start begin characters.
        {"x\xB0\xB0\xB0\xB0\xB0y", "\xB0y", 0, Case::Sensitive, 5},
        {"x\xB0\xB0\xB0\xB0\xB0\xB0y", "\xB0y", 0, Case::Sensitive, npos},
        {"x\xB0\xB0\xB0\xB0\xB0y", "\xB0\xB0y", 0, Case::Sensitive, npos},
        {"x\xB0\xB0\xB0\xB0\xB0y", "\xB0\xB0\xB0y", 0, Case::Sensitive, 3},
        {"x\xB0\xB0\xB0\xB0\xB0y", "y", 0, Case::Sensitive, npos},  // y is the trail of the last pair
        {"x\xB0\xB0\xB0\xB0y", "y", 0, Case::Sensitive, 5},
        // A lone lead byte at the end is a character of its own.
        {"ab\xB0", "\xB0", 0, Case::Sensitive, 2},
        // Case-insensitive: ASCII letters only; a trail byte in the letter range is never folded.
        {"\x81\x41", "\x81\x61", 0, Case::Insensitive, npos},  // 丄 vs 乤
        {"\x81\x41", "\x81\x41", 0, Case::Insensitive, 0},
        {"\xB0\x41"s + "a", "A", 0, Case::Insensitive, 2},
        {G("价") + "ABC", "abc", 0, Case::Insensitive, 2},
        {"x" + price + "y", price, 0, Case::Sensitive, 1},
        {"x" + price + "y", G("当前价：<B>"), 0, Case::Insensitive, 1},
        // Matches are searched from `from`, which is a character start.
        {"\xB0\xA1\xB0\xA1", "\xB0\xA1", 1 + 1, Case::Sensitive, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Find(c.text, c.marker, c.from, c.c), c.expected)
            << "text=" << c.text << " marker=" << c.marker << " from=" << c.from;
        EXPECT_EQ(reference::Find(c.text, c.marker, c.from, c.c), c.expected) << "reference disagrees: " << c.text;
    }
}

TEST(TextOps, ContainsEmptyRules) {
    EXPECT_TRUE(Contains("a", ""));
    EXPECT_FALSE(Contains("", ""));
    EXPECT_FALSE(Contains("", "a"));
    EXPECT_TRUE(Contains("ab", "b"));
    EXPECT_FALSE(Contains(G("中文"), G("形")));
    EXPECT_TRUE(Contains("PageNo=1", "pageno=1", Case::Insensitive));
    EXPECT_FALSE(Contains("PageNo=1", "pageno=1"));
}

// ---- Pieces --------------------------------------------------------------------------------------

TEST(TextOps, PieceBefore) {
    struct C {
        std::string text, marker, expected;
    };
    const C cases[] = {
        {"abc<def<g", "<", "abc"},
        {"abc", "x", "abc"},  // missing marker: the whole text
        {"", "x", ""},
        {"<abc", "<", ""},
        {"abc", "", ""},  // the empty marker occurs at 0
        {"\xB0\x41"s + "A-", "A", "\xB0\x41"},
        {G("标题-淘宝网</title>"), G("-淘宝网</title>"), G("标题")},
        {"\xB0<x<", "<", "\xB0<x"},  // B0 3C is one character
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PieceBefore(c.text, c.marker), c.expected) << c.text << " | " << c.marker;
    }
}

TEST(TextOps, PieceAfter) {
    struct C {
        std::string text, marker, expected;
    };
    const C cases[] = {
        {"a<b>1<b>2<b>3", "<b>", "1"},  // between the first and the second occurrence
        {"a<b>123", "<b>", "123"},      // no second occurrence: to the end
        {"a<b>", "<b>", ""},            // nothing follows
        {"a<b><b>x", "<b>", ""},
        {"abc", "x", ""},  // missing
        {"", "x", ""},
        {"abc", "", ""},
        {"aaaa", "aa", ""},  // non-overlapping: occurrences at 0 and 2
        {"aaaaa", "aa", ""},
        {"xaaya", "a", ""},
        {"tb-rmb-num\">12.50</em>", "tb-rmb-num\">", "12.50</em>"},
        {"\xB0:x:1:2", ":", "1"},  // the ":" inside B0 3A is a trail byte
        {G("当前价：<b>99</b>"), G("当前价：<b>"), "99</b>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PieceAfter(c.text, c.marker), c.expected) << c.text << " | " << c.marker;
    }
    // The analysers' nested cuts.
    const std::string page = "<title>" + G("好东西") + G("-淘宝网</title>") + "x";
    EXPECT_EQ(PieceBefore(PieceAfter(page, "<title>"), G("-淘宝网</title>")), G("好东西"));
}

TEST(TextOps, PieceAfterMarkerEndingInLeadByte) {
    // A marker that ends in a lone lead byte: the search after it starts on a trail byte.
    const std::string text = "a\xB0\x41"s + "b\xB0\x41"s + "c";
    EXPECT_EQ(PieceAfter(text, "a\xB0"), "\x41"s + "b\xB0\x41"s + "c");
    // Characters: "a", B0 "a", B0 "a", B0. The later "a" bytes are trail bytes, so there is no second match.
    EXPECT_EQ(PieceAfter("a\xB0"s + "a\xB0"s + "a\xB0", "a\xB0"), "a\xB0"s + "a\xB0");
}

// ---- Split ---------------------------------------------------------------------------------------

TEST(TextOps, Split) {
    using V = std::vector<std::string>;
    struct C {
        std::string text, sep;
        V expected;
    };
    const C cases[] = {
        {"", ",", {}},
        {"a", ",", {"a"}},
        {"a,b,c", ",", {"a", "b", "c"}},
        {"a,b,", ",", {"a", "b"}},  // a trailing empty piece is dropped
        {"a,,b", ",", {"a", "", "b"}},
        {",a", ",", {"", "a"}},
        {",", ",", {""}},
        {",,", ",", {"", ""}},
        {"abc", "", {"abc"}},
        {"http://shop1.taobao.com/x/y", "/", {"http:", "", "shop1.taobao.com", "x", "y"}},
        {"a\r\nb\r\n", "\r\n", {"a", "b"}},
        {"\xB0,a,b", ",", {"\xB0,a", "b"}},  // B0 2C is one character
        {"x item.htm?id=1\"y item.htm?id=2\"", "item.htm?id=", {"x ", "1\"y ", "2\""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Split(c.text, c.sep), c.expected) << c.text << " | " << c.sep;
    }
}

TEST(TextOps, SplitLinesUsesCharacterBoundaries) {
    using V = std::vector<std::string>;
    EXPECT_EQ(ItemIdList::SplitLines("1\r\n2\r\n"), (V{"1", "2"}));
    EXPECT_EQ(ItemIdList::SplitLines("\r\n"), (V{""}));
    // A lone lead byte before CR LF takes CR as its trail byte: no line break there.
    EXPECT_EQ(ItemIdList::SplitLines("a\xB0\r\nb\r\n"), (V{"a\xB0\r\nb"}));
    EXPECT_EQ(ItemIdList::SplitLines(G("中") + "\r\n" + G("文") + "\r\n"), (V{G("中"), G("文")}));
}

// ---- Delete / replace ----------------------------------------------------------------------------

TEST(TextOps, DeleteAndReplace) {
    struct C {
        std::string text, what, with;
        Case c;
        std::string expected;
    };
    const C cases[] = {
        {"a\"b\"c", "\"", "", Case::Sensitive, "abc"},
        {"aaa", "aa", "b", Case::Sensitive, "ba"},   // non-overlapping from the left
        {"aaaa", "aa", "a", Case::Sensitive, "aa"},  // replacements are not searched again
        {"x}y}", "}", ",", Case::Sensitive, "x,y,"},
        {"abc", "", "X", Case::Sensitive, "abc"},  // empty `what`: unchanged
        {"", "a", "b", Case::Sensitive, ""},
        {"abc", "abc", "", Case::Sensitive, ""},
        {"abc", "d", "X", Case::Sensitive, "abc"},
        {"\xB0'x'", "'", "\"", Case::Sensitive, "\xB0'x\""},  // B0 27 is one character
        // Case-insensitive replace (crawlers: "pageNo=1" -> "pageNo=n"; analyser: rateCounterApi).
        {"a?pageNo=1&PAGENO=1&pageno=1", "pageNo=1", "pageNo=7", Case::Insensitive, "a?pageNo=7&pageNo=7&pageNo=7"},
        {"RateCounterApi   : '//x'", "rateCounterApi   : '", "rateCounterApi:\"", Case::Insensitive,
         "rateCounterApi:\"//x'"},
        {"Scene=Taobao_Shop&x", "scene=taobao_shop", "", Case::Insensitive, "&x"},
        {"\x81\x41\x81\x61", "\x81\x61", "!", Case::Insensitive, "\x81\x41!"},  // trail bytes exact
        {"a : b  :c", " :", ":", Case::Sensitive, "a: b :c"},
        {G("'无'"), "'" + G("无") + "'", "-", Case::Sensitive, "-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceAll(c.text, c.what, c.with, c.c), c.expected) << c.text << " | " << c.what;
        if (c.with.empty()) {
            EXPECT_EQ(DeleteAll(c.text, c.what, c.c), c.expected) << c.text << " | " << c.what;
        }
    }
    EXPECT_EQ(DeleteAll("a\tb\t", "\t"), "ab");
    EXPECT_EQ(DeleteAll("a);b);", ");"), "ab");
}

TEST(TextOps, TenColonPassesRemoveUpToTenSpaces) {
    std::string page = "rateCounterApi   : '//rate.example/x', other";
    page = ReplaceAll(page, "rateCounterApi   : '", "rateCounterApi:\"", Case::Insensitive);
    page = ReplaceAll(page, "',", "\"");
    for (int i = 0; i < 10; ++i) {
        page = ReplaceAll(page, " :", ":");
        page = ReplaceAll(page, ": ", ":");
    }
    EXPECT_EQ(PieceBefore(PieceAfter(page, "rateCounterApi:\""), "\""), "//rate.example/x");
}

// ---- StripSpaces ---------------------------------------------------------------------------------

TEST(TextOps, StripSpaces) {
    struct C {
        std::string text, expected;
    };
    const C cases[] = {
        {" 1 2 . 5 ", "12.5"},
        {"a\tb\r\nc", "a\tb\r\nc"},  // tabs, CR and LF stay
        {"\xA1\xA1x\xA1\xA1", "x"},  // ideographic space
        {G("　价　格 "), G("价格")},
        {"\xB0\xA1\xA1\xB0", "\xB0\xA1\xA1\xB0"},  // A1 A1 across two characters: not a space
        {"\xB0 x", "\xB0 x"},                      // B0 20 is one character
        {"\xA1", "\xA1"},                          // lone lead byte at the end
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StripSpaces(c.text), c.expected) << c.text;
    }
}

// ---- Number / Trunc ------------------------------------------------------------------------------

TEST(TextOps, Number) {
    struct C {
        const char* text;
        double expected;
    };
    const C cases[] = {
        {"12", 12},
        {"  12.5abc", 12.5},
        {" \t\r\n\v\f7", 7},
        {"-.5", -0.5},
        {"+3", 3},
        {".5", 0.5},
        {"5.", 5},
        {"1e", 1},
        {"1e+", 1},
        {"1e-x", 1},
        {"1e3", 1000},
        {"1.5E-2", 0.015},
        {"2E+2x", 200},
        {"00012", 12},
        {"3.14.15", 3.14},
        {"1,234", 1},
        {"1451577600000,", 1451577600000.0},
        {"", 0},
        {".", 0},
        {"-", 0},
        {"+-1", 0},
        {"- 1", 0},
        {"e5", 0},
        {"abc", 0},
        {"0x1A", 0},  // decimal only: "0" then stops at x
        {"inf", 0},
        {"nan", 0},
        {"\xA1\xA1\x35", 0},  // the ideographic space is no white space
        {"1e-999", 0},
        {"0.000e999999999999999999", 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(Number(c.text), c.expected) << '"' << c.text << '"';
    }
    EXPECT_EQ(Number("1e999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Number("-1e999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(Number("0.0001e99999999999999999999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Number(std::string(400, '9')), std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(Number("0." + std::string(400, '0') + "1e400"), 0.1);
}

TEST(TextOps, Trunc) {
    EXPECT_EQ(Trunc(1.9), 1);
    EXPECT_EQ(Trunc(-1.9), -1);
    EXPECT_EQ(Trunc(0.0), 0);
    EXPECT_EQ(Trunc(1451577600000.0 / 1000 + 28800), 1451606400);
    EXPECT_EQ(Trunc(std::nan("")), 0);
    EXPECT_EQ(Trunc(1e300), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Trunc(-1e300), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(Trunc(std::numeric_limits<double>::infinity()), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Trunc(-9223372036854775808.0), std::numeric_limits<std::int64_t>::min());
}

// ---- Differential and adversarial inputs ---------------------------------------------------------

TEST(TextOps, RandomTextsAgreeWithReference) {
    // Small alphabets make matches, near-matches and boundary shifts frequent.
    const std::string alphabet[] = {"a", "A", "b", "\xB0", "\x41", "\x61", "\xA1", "\x81"};
    std::mt19937 rng(12345);
    auto randomText = [&](std::size_t maxLen) {
        std::string s;
        const std::size_t len = rng() % (maxLen + 1);
        for (std::size_t i = 0; i < len; ++i) {
            s += alphabet[rng() % std::size(alphabet)];
        }
        return s;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string t = randomText(round % 100 == 0 ? 3000 : 40);
        std::string m = randomText(round % 7 == 0 ? 300 : 4);
        if (!t.empty() && rng() % 3 == 0) {
            // Take the marker from the text itself, often from a non-boundary position.
            const std::size_t p = rng() % t.size();
            m = t.substr(p, 1 + rng() % 6);
        }
        const Case c = rng() % 2 ? Case::Insensitive : Case::Sensitive;
        ASSERT_EQ(Find(t, m, 0, c), reference::Find(t, m, 0, c)) << "round " << round;
        ASSERT_EQ(ReplaceAll(t, m, "#", c), reference::Replace(t, m, "#", c)) << "round " << round;
        ASSERT_EQ(Contains(t, m, c), reference::Find(t, m, 0, c) != npos);
    }
}

TEST(TextOps, NearPeriodicTextsAgreeWithReference) {
    // Periodic texts with a few changed bytes and long markers cut from them: many candidates agree on
    // long prefixes, which sends the search into its linear fallback with boundaries to respect.
    const char alphabet[] = {'a', 'A', '\xB0', '\x41', '\xA1', 'b'};
    std::mt19937 rng(777);
    for (int round = 0; round < 400; ++round) {
        std::string unit;
        for (std::size_t k = 1 + rng() % 4; k > 0; --k) {
            unit += alphabet[rng() % std::size(alphabet)];
        }
        std::string t;
        while (t.size() < 4000) {
            t += unit;
        }
        for (int k = rng() % 4; k > 0; --k) {
            t[rng() % t.size()] = alphabet[rng() % std::size(alphabet)];
        }
        const std::size_t len = 40 + rng() % 600;
        const std::size_t at = rng() % (t.size() - len);
        std::string m = t.substr(at, len);
        if (rng() % 2) {
            m[rng() % m.size()] = alphabet[rng() % std::size(alphabet)];
        }
        const Case c = rng() % 3 == 0 ? Case::Insensitive : Case::Sensitive;
        ASSERT_EQ(Find(t, m, 0, c), reference::Find(t, m, 0, c)) << "round " << round;
        ASSERT_TRUE(ReplaceAll(t, m, "#", c) == reference::Replace(t, m, "#", c)) << "round " << round;
    }
}

TEST(TextOps, LongMarkersOnRepetitiveTextsAreFoundCorrectly) {
    // These inputs drive the first pass over its work budget into the linear fallback. The test checks
    // results only; the benchmark shows the running time.
    const std::string aaa(1 << 20, 'a');
    const std::string marker = std::string(10000, 'a') + "b";
    EXPECT_EQ(Find(aaa, marker), npos);
    EXPECT_EQ(Find(aaa + "b", marker), aaa.size() - 10000);

    std::string blocks;
    while (blocks.size() < (1 << 20)) {
        blocks += std::string(5000, 'a') + "b";
    }
    const std::string long_a(10000, 'a');
    EXPECT_EQ(Find(blocks, long_a), npos);
    const std::string withRun = blocks + long_a + "c";
    EXPECT_EQ(Find(withRun, long_a), blocks.size());
    EXPECT_EQ(Find(withRun, long_a, 0, Case::Insensitive), blocks.size());

    // In the fallback an occurrence at a trail byte is skipped and the next one is taken.
    std::string tricky;
    while (tricky.size() < 200000) {
        tricky += std::string(298, 'a') + "b";
    }
    const std::size_t lead = tricky.size();
    tricky += "\xB0" + std::string(300, 'a');
    EXPECT_EQ(Find(tricky, std::string(299, 'a')), lead + 2);
    EXPECT_EQ(Find(tricky, std::string(299, 'A'), 0, Case::Insensitive), lead + 2);

    // All high bytes: with the text starting on "x", characters start at odd offsets.
    const std::string high = "x" + std::string((1 << 20) + 1, '\xB0') + "y";
    EXPECT_EQ(Find(high, std::string(10000, '\xB0') + "y"), npos);  // would start at a trail byte
    EXPECT_EQ(Find(high, std::string(10001, '\xB0') + "y"), high.size() - 10002);
    EXPECT_EQ(Find(high, std::string(10000, '\xB0') + "\xB1"), npos);

    // Every occurrence is at a trail byte: "x" + (B0 41)*, marker (41 B0)* 41.
    std::string trails = "x";
    while (trails.size() < (1 << 20)) {
        trails += "\xB0\x41";
    }
    std::string trailMarker;
    for (int i = 0; i < 5000; ++i) {
        trailMarker += "\x41\xB0";
    }
    trailMarker += "\x41";
    EXPECT_EQ(Find(trails, trailMarker), npos);
    EXPECT_EQ(Find(trails, trailMarker, 0, Case::Insensitive), npos);
    EXPECT_TRUE(ReplaceAll(trails, "\x41\xB0", "-") == trails);  // no byte dump of 1 MB on failure
}

}  // namespace
}  // namespace vantrel::text
