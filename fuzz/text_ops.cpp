// libFuzzer target: the GBK text operations, the encodings and the time texts.
//
// Input layout: byte 0 = flags (bit 0: ignore case), byte 1 = marker length L, then L marker bytes, then
// the text. The first 8 bytes also serve as a Unix count and as date-time fields.
//
// Besides "no crash, no sanitizer report" it checks properties that hold for every input: searches agree
// with a plain reference of the rule (a match starts at a character start and its bytes agree), pieces
// are parts of the text, replace-with-itself is the identity, split pieces join back to the text,
// the encoders' output decodes back to their input, GbkToUtf8 gives valid UTF-8, and every time text has
// the shape digits-DD-DD DD:DD:DD with its fields in range.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ItemIdList.h"
#include "analysis/TextOps.h"
#include "analysis/TimeText.h"
#include "web/Encoding.h"

// The reference checks are plain loops over every position; without coverage hooks they run several times
// faster and do not steer the fuzzer (coverage should come from the code under test).
#if defined(__clang__)
#define NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define NO_COVERAGE
#endif
#define VANTREL_REFERENCE_ATTR NO_COVERAGE
#include "../tests/text/ReferenceTextOps.h"

namespace {

namespace text = vantrel::text;
using text::Case;
using text::npos;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

#define CHECK(cond)      \
    do {                 \
        if (!(cond)) {   \
            Fail(#cond); \
        }                \
    } while (0)

using text::reference::CharStarts;
using text::reference::MatchesAt;

NO_COVERAGE bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n;
        std::uint32_t cp;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            n = 2;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            n = 3;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            n = 4;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (i + n > s.size()) {
            return false;
        }
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        const std::uint32_t minimum = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += n;
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;  // upper-case only
}

// Decodes %XX (upper-case hex); every other character must satisfy `literal`.
bool PercentDecode(std::string_view s, bool (*literal)(unsigned char), std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2])));
            i += 2;
        } else if (literal(static_cast<unsigned char>(s[i]))) {
            out.push_back(s[i]);
        } else {
            return false;
        }
    }
    return true;
}

bool GbkLiteral(unsigned char b) {
    return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '.' || b == '-' ||
           b == '_';
}

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

void CheckTimeText(std::int64_t v) {
    const vantrel::DateTime t = vantrel::UnixToDateTime(v);
    CHECK(t.year >= 1601 && t.year <= 30828);
    CHECK(t.month >= 1 && t.month <= 12);
    CHECK(t.day >= 1 && t.day <= DaysInMonth(t.year, t.month));
    CHECK(t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60);
    const std::string s = vantrel::FormatTimeText(t);
    // digits "-" DD "-" DD " " DD ":" DD ":" DD
    CHECK(s.size() >= 19);
    const std::size_t y = s.size() - 15;
    for (std::size_t i = 0; i < y; ++i) {
        CHECK(s[i] >= '0' && s[i] <= '9');
    }
    const char* shape = "-DD-DD DD:DD:DD";
    for (std::size_t i = 0; i < 15; ++i) {
        const char c = s[y + i];
        CHECK(shape[i] == 'D' ? (c >= '0' && c <= '9') : c == shape[i]);
    }
    CHECK(std::atoi(s.c_str()) == t.year);
    // A 10-digit seconds count comes back exactly (TZ is UTC in this process).
    if (v >= 1000000000 && v <= 9999999999) {
        CHECK(vantrel::DateTimeToUnix(t) == v);
    }
}

void CheckNumber(const std::string& s) {
    const double v = text::Number(s);
    (void)text::Trunc(v);
    // strtod (C locale) reads the same prefix unless it would take hex, inf or nan, which Number does not.
    std::size_t i = 0;
    while (i < s.size() && std::strchr(" \t\n\v\f\r", s[i]) != nullptr && s[i] != '\0') {
        ++i;
    }
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    const bool special = i < s.size() && (s[i] == 'i' || s[i] == 'I' || s[i] == 'n' || s[i] == 'N' ||
                                          (s[i] == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')));
    if (!special) {
        const double ref = std::strtod(s.c_str(), nullptr);
        CHECK(std::memcmp(&ref, &v, sizeof v) == 0 || (ref == 0 && v == 0));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "UTC", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::uint8_t flags = data[0];
    const Case c = flags & 1 ? Case::Insensitive : Case::Sensitive;
    const std::size_t markerLen = std::min<std::size_t>(data[1], size - 2);
    const std::string_view marker = all.substr(2, markerLen);
    const std::string_view t = all.substr(2 + markerLen);
    const auto starts = CharStarts(t);
    const bool affordable = t.size() * (marker.size() + 1) <= 60000;

    // Find from 0 and from a character start chosen by the flags.
    const std::size_t p = text::Find(t, marker, 0, c);
    if (p != npos) {
        CHECK(p < t.size() && starts[p] && MatchesAt(t, p, marker, c));
    }
    CHECK(text::Contains(t, marker, c) == (p != npos));
    std::size_t from = t.empty() ? 0 : (flags >> 1) * t.size() / 128;
    while (from < t.size() && !starts[from]) {
        ++from;
    }
    const std::size_t q = text::Find(t, marker, from, c);
    if (affordable) {
        CHECK(p == text::reference::Find(t, marker, 0, c, starts));
        CHECK(q == text::reference::Find(t, marker, from, c, starts));
    }

    // Pieces (case-sensitive operations).
    const std::size_t ps = text::Find(t, marker);
    const std::string before = text::PieceBefore(t, marker);
    CHECK(t.substr(0, before.size()) == before);
    CHECK(ps == npos ? before == t : before.size() == ps);
    const std::string after = text::PieceAfter(t, marker);
    if (ps == npos) {
        CHECK(after.empty());
    } else {
        const std::size_t begin = ps + marker.size();
        CHECK(begin <= t.size() && t.substr(begin, after.size()) == after);
        if (!marker.empty() && begin + after.size() < t.size()) {
            // The piece ends where the second occurrence starts.
            CHECK(starts[begin + after.size()] && MatchesAt(t, begin + after.size(), marker, Case::Sensitive));
        }
    }

    // Replace and delete.
    CHECK(text::ReplaceAll(t, marker, marker, Case::Sensitive) == t);
    const std::string replaced = text::ReplaceAll(t, marker, "#", c);
    CHECK(text::DeleteAll(t, marker, c) == text::ReplaceAll(t, marker, "", c));
    if (affordable) {
        CHECK(replaced == text::reference::Replace(t, marker, "#", c, starts));
    }

    // Split: the pieces joined by the separator give the text back (with the dropped final piece, one more
    // separator at the end).
    const auto pieces = text::Split(t, marker);
    if (t.empty()) {
        CHECK(pieces.empty());
    } else if (marker.empty()) {
        CHECK(pieces.size() == 1 && pieces[0] == t);
    } else {
        std::string joined;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0) {
                joined.append(marker);
            }
            joined.append(pieces[i]);
        }
        CHECK(joined == t || joined + std::string(marker) == t);
    }
    CHECK(vantrel::ItemIdList::SplitLines(t) == text::Split(t, "\r\n"));

    // StripSpaces drops exactly the space characters.
    {
        std::string expected;
        std::size_t i = 0;
        while (i < t.size()) {
            const std::size_t len = static_cast<unsigned char>(t[i]) >= 0x80 && i + 1 < t.size() ? 2 : 1;
            const std::string_view ch = t.substr(i, len);
            if (ch != " " && ch != "\xA1\xA1") {
                expected.append(ch);
            }
            i += len;
        }
        CHECK(text::StripSpaces(t) == expected);
    }

    CheckNumber(std::string(t));
    CheckNumber(std::string(marker));

    // Encodings.
    const std::string utf8 = vantrel::GbkToUtf8(t);
    CHECK(ValidUtf8(utf8));
    const std::string back = vantrel::Utf8ToGbk(utf8);
    (void)back;
    const std::string fromUtf8 = vantrel::Utf8ToText(t);
    CHECK(fromUtf8.find('\0') == std::string::npos);
    (void)vantrel::WideToText(t);
    std::string decoded;
    const std::string gbkQuery = vantrel::UrlEncodeGbk(t);
    CHECK(PercentDecode(gbkQuery, GbkLiteral, decoded) && decoded == t);
    // UrlEncodeUtf8 keeps "%" itself, so its output does not decode uniquely: compare with the rule.
    const std::string utf8Query = vantrel::UrlEncodeUtf8(t);
    {
        std::string expected;
        for (unsigned char b : vantrel::GbkToUtf8(t.substr(0, t.find('\0')))) {
            if (b >= 0x21 && b <= 0x7A) {
                expected.push_back(static_cast<char>(b));
            } else {
                char esc[4];
                std::snprintf(esc, sizeof esc, "%%%02X", b);
                expected.append(esc);
            }
        }
        CHECK(utf8Query == expected);
        for (unsigned char b : utf8Query) {
            CHECK(b >= 0x21 && b <= 0x7A);
        }
    }

    // Time texts.
    if (size >= 8) {
        std::int64_t v;
        std::memcpy(&v, data, sizeof v);
        CheckTimeText(v);
        CheckTimeText(v % 10000000000);  // a seconds-sized count as well
        int fields[6];
        for (int i = 0; i < 6; ++i) {
            fields[i] = static_cast<int>(static_cast<std::int8_t>(data[i + 2])) * (i == 0 ? 1000 : 1);
        }
        (void)vantrel::DateTimeToUnix(
            vantrel::DateTime{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]});
    }
    return 0;
}
