#include <gtest/gtest.h>

#include <string>

#include "web/Encoding.h"

namespace vantrel {
namespace {

using namespace std::string_literals;

TEST(Encoding, Utf8ToText) {
    EXPECT_EQ(Utf8ToText("获取信息成功！"), "\xBB\xF1\xC8\xA1\xD0\xC5\xCF\xA2\xB3\xC9\xB9\xA6\xA3\xA1");
    EXPECT_EQ(Utf8ToText("abc"), "abc");
    EXPECT_EQ(Utf8ToText(""), "");
    // Only the text before a zero byte.
    EXPECT_EQ(Utf8ToText("ab\0cd"s), "ab");
    EXPECT_EQ(Utf8ToText("\0abc"s), "");
    EXPECT_EQ(Utf8ToText("获取\0成功"s), "\xBB\xF1\xC8\xA1");
}

TEST(Encoding, InvalidOrUnrepresentableInputNeverFailsTheWhole) {
    // A Hangul syllable and an emoji have no GBK form: each becomes one "?".
    EXPECT_EQ(Utf8ToText("a한b😀c"), "a?b?c");
    // Bad UTF-8 bytes are replaced; the rest converts.
    EXPECT_EQ(Utf8ToText("a\xFF"s + "b\xC3"), "a?b?");
    EXPECT_EQ(Utf8ToText("\x80\x80"s + "ok"), "??ok");
    // Invalid GBK: a bad lead byte and a lead byte followed by an ASCII byte keep the ASCII byte.
    EXPECT_EQ(GbkToUtf8("a\xFF"s + "b"), "a?b");
    EXPECT_EQ(GbkToUtf8("\x81 x"), "? x");
    EXPECT_EQ(GbkToUtf8("ab\xB0"), "ab?");  // truncated pair at the end
}

TEST(Encoding, LongMixedTextsConvertPieceByPiece) {
    // Many thousands of characters, good and bad mixed, so that sequences fall on every offset of the
    // converter's internal chunks; each token must convert on its own.
    struct Token {
        const char* from;
        const char* to;
    };
    const Token utf8ToGbk[] = {{"中", "\xD6\xD0"}, {"a", "a"},    {"한", "?"},
                               {"😀", "?"},         {"\xFF", "?"}, {"丂", "\x81\x40"}};
    const Token gbkToUtf8[] = {{"\xD6\xD0", "中"}, {"a", "a"}, {"\xFF", "?"}, {"\x81\x40", "丂"}, {"\x80", "€"}};
    const Token wideToGbk[] = {{"\x2D\x4E", "\xD6\xD0"}, {"a\0", "a"}, {"\x5C\xD5", "?"}, {"\x3D\xD8\x00\xDE", "?"}};
    const std::size_t wideLen[] = {2, 2, 2, 4};
    unsigned seed = 1;
    auto next = [&] { return (seed = seed * 1103515245 + 12345) >> 16; };
    std::string in, expected;
    for (int i = 0; i < 20000; ++i) {
        const Token& t = utf8ToGbk[next() % std::size(utf8ToGbk)];
        in += t.from;
        expected += t.to;
    }
    EXPECT_TRUE(Utf8ToGbk(in) == expected);
    in.clear();
    expected.clear();
    for (int i = 0; i < 20000; ++i) {
        const Token& t = gbkToUtf8[next() % std::size(gbkToUtf8)];
        in += t.from;
        expected += t.to;
    }
    EXPECT_TRUE(GbkToUtf8(in) == expected);
    in.clear();
    expected.clear();
    for (int i = 0; i < 20000; ++i) {
        const std::size_t k = next() % std::size(wideToGbk);
        in.append(wideToGbk[k].from, wideLen[k]);
        expected += wideToGbk[k].to;
    }
    EXPECT_TRUE(WideToText(in) == expected);
    // A text of nothing but unrepresentable characters.
    std::string hangul;
    for (int i = 0; i < 20000; ++i) {
        hangul += "한";
    }
    EXPECT_EQ(Utf8ToText(hangul), std::string(20000, '?'));
}

TEST(Encoding, GbkRoundTrip) {
    // 丂 (81 40) exists in GBK but not in GB2312.
    const std::string gbkOnly = "\x81\x40";
    EXPECT_EQ(GbkToUtf8(gbkOnly), "丂");
    EXPECT_EQ(Utf8ToGbk(GbkToUtf8(gbkOnly)), gbkOnly);
    const std::string mixed = "x\xB0\xA1\x81\x40y\xA1\xA1";
    EXPECT_EQ(Utf8ToGbk(GbkToUtf8(mixed)), mixed);
    EXPECT_EQ(Utf8ToGbk("中文"), "\xD6\xD0\xCE\xC4");
}

TEST(Encoding, WideToText) {
    EXPECT_EQ(WideToText("a\0b\0"s), "ab");
    EXPECT_EQ(WideToText("a\0\0\0b\0"s), "a");       // up to the first zero code unit
    EXPECT_EQ(WideToText("\x2D\x4E"s), "\xD6\xD0");  // U+4E2D 中
    EXPECT_EQ(WideToText("a\0b"s), "ab");            // an odd last byte is a last unit with high byte 0
    EXPECT_EQ(WideToText(""), "");
    EXPECT_EQ(WideToText("\x3D\xD8\x00\xDE"s + "a\0"s),
              "?a");  // U+1F600 (a surrogate pair) has no GBK form
    EXPECT_EQ(WideToText("\x00\xD8"s + "a\0"s),
              "?a");  // lone surrogate
}

TEST(Encoding, UrlEncodeUtf8) {
    EXPECT_EQ(UrlEncodeUtf8("a b"), "a%20b");
    EXPECT_EQ(UrlEncodeUtf8("a&b=c"), "a&b=c");
    EXPECT_EQ(UrlEncodeUtf8("{x}"), "%7Bx%7D");
    EXPECT_EQ(UrlEncodeUtf8("\t"), "%09");
    EXPECT_EQ(UrlEncodeUtf8("|~"), "%7C%7E");
    EXPECT_EQ(UrlEncodeUtf8("!z%+/?#09AZ"), "!z%+/?#09AZ");
    EXPECT_EQ(UrlEncodeUtf8(""), "");
    // 中 in GBK is D6 D0; in UTF-8 E4 B8 AD: three escapes.
    EXPECT_EQ(UrlEncodeUtf8("\xD6\xD0"), "%E4%B8%AD");
    EXPECT_EQ(UrlEncodeUtf8("\x81\x40"), "%E4%B8%82");  // GBK-only 丂
}

TEST(Encoding, UrlEncodeGbk) {
    EXPECT_EQ(UrlEncodeGbk("\xB0\x41"), "%B0%41");  // trail byte in the letter range is still encoded
    EXPECT_EQ(UrlEncodeGbk(" "), "%20");
    EXPECT_EQ(UrlEncodeGbk(":"), "%3A");
    EXPECT_EQ(UrlEncodeGbk("/"), "%2F");
    EXPECT_EQ(UrlEncodeGbk("~"), "%7E");
    EXPECT_EQ(UrlEncodeGbk("\t"), "%09");
    EXPECT_EQ(UrlEncodeGbk("aZ09.-_"), "aZ09.-_");
    EXPECT_EQ(UrlEncodeGbk("ab\xB0"), "ab%B0");  // a lone high byte at the end
    EXPECT_EQ(UrlEncodeGbk("\x7F"s + "a"),
              "%7F%61");  // 7F starts a pair too
    EXPECT_EQ(UrlEncodeGbk("http://a.b/c d"), "http%3A%2F%2Fa.b%2Fc%20d");
    EXPECT_EQ(UrlEncodeGbk("\xD6\xD0\xCE\xC4"), "%D6%D0%CE%C4");
    EXPECT_EQ(UrlEncodeGbk(""), "");
}

}  // namespace
}  // namespace vantrel
