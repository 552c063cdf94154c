#include "analysis/TextOps.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace vantrel::text {
namespace {

constexpr unsigned char Fold(unsigned char b) {
    return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

// Rough relative frequency of each byte value in a marketplace page (GBK HTML with script), used only
// to pick the marker byte that the first-pass scan looks for: the rarer the byte, the fewer candidates.
// Any table gives correct results; this one only makes the common case fast.
constexpr std::array<unsigned char, 256> MakeByteRank() {
    std::array<unsigned char, 256> r{};
    for (int b = 0; b < 256; ++b) {
        unsigned char v;
        if (b < 0x20 || b == 0x7F) {
            v = 0;  // control bytes
        } else if (b >= 'A' && b <= 'Z') {
            v = 30;
        } else if (b >= '0' && b <= '9') {
            v = 60;
        } else if (b < 0x80) {
            v = 25;  // the rarer punctuation
        } else if (b == 0x80 || b == 0xFF) {
            v = 5;  // no GBK lead byte; trail bytes only
        } else if (b <= 0xA0) {
            v = 20;  // lead bytes of the rarely used extension characters
        } else {
            v = 55;  // lead and trail bytes of the common characters and full-width punctuation
        }
        r[static_cast<std::size_t>(b)] = v;
    }
    for (unsigned char c : {'\t', '\r', '\n'}) {
        r[c] = 90;
    }
    for (unsigned char c : {' ', '<', '>', '"', '=', '/', '.', '-', '_', ':', ',', ';', '\''}) {
        r[c] = 95;
    }
    // Lower-case letters by their English frequency; markup and script use them most.
    constexpr const char* kLetters = "etaoinsrhldcumfpgwybvkxjqz";
    for (int i = 0; kLetters[i] != '\0'; ++i) {
        r[static_cast<unsigned char>(kLetters[i])] = static_cast<unsigned char>(120 - 3 * i);
    }
    return r;
}

constexpr std::array<unsigned char, 256> kByteRank = MakeByteRank();

// One marker searched in one text, possibly many times from left to right (replace all, split).
//
// Character starts are decided locally: position p starts a character iff the run of bytes >= 0x80
// just before p (back to a known character start) has even length. known_ is the last position proved
// to be a character start; queries only move forward, so every byte is walked back over at most about
// once in all and the boundary tests together cost O(text length).
//
// Search: a first pass looks for the marker's rarest byte (see ChooseScanByte) with memchr and verifies
// candidates with memcmp. When the verification work exceeds a budget proportional to the text scanned,
// the rest of the text is searched with Knuth-Morris-Pratt, which enumerates every occurrence in O(n + m)
// and keeps the first one at a character start. The total is linear for every input.
class Searcher {
public:
    Searcher(std::string_view text, std::string_view marker, Case c, std::size_t knownStart)
        : t_(reinterpret_cast<const unsigned char*>(text.data())),
          n_(text.size()),
          raw_(reinterpret_cast<const unsigned char*>(marker.data())),
          m_(marker.size()),
          fold_(c == Case::Insensitive),
          known_(knownStart) {
        if (m_ == 0) {
            return;
        }
        if (fold_) {
            // The canonical marker: ASCII letters folded where they stand alone; the trail byte of a
            // double-byte character is compared exactly (it is part of a Chinese character, not a letter).
            pattern_.resize(m_);
            bool trail = false;
            for (std::size_t j = 0; j < m_; ++j) {
                const unsigned char b = raw_[j];
                pattern_[j] = trail ? b : Fold(b);
                trail = !trail && b >= 0x80;
            }
            pat_ = pattern_.data();
        } else {
            pat_ = raw_;
        }
    }

    // First match starting at or after from (from >= every position asked or returned before).
    std::size_t Next(std::size_t from) {
        if (m_ == 0) {
            return from < n_ ? from : npos;
        }
        if (from > n_ || n_ - from < m_) {
            return npos;
        }
        return fold_ ? ScanFolded(from) : ScanExact(from);
    }

private:
    bool IsStart(std::size_t p) {
        std::size_t q = p;
        while (q > known_ && t_[q - 1] >= 0x80) {
            --q;
        }
        // q starts a character: it is known_, or the byte before it is a single-byte character or the
        // trail of a pair. From q on, the bytes up to p pair up as lead and trail.
        const bool start = ((p - q) & 1) == 0;
        known_ = start ? p : p - 1;
        return start;
    }

    std::size_t Budget(std::size_t from, std::size_t at) const { return 4 * (at - from) + 2 * m_ + 256; }

    // The marker byte the first pass looks for: the one least frequent in a sample of the text (a few
    // short stretches spread over it, about 1/32 of a long text and at most 2 KB), ties and short texts
    // decided by the static table. The sample costs far less than the scan it shortens.
    void ChooseScanByte(std::size_t from) {
        std::array<std::uint32_t, 256> counts{};
        const std::size_t len = n_ - from;
        if (len >= 4096) {
            constexpr std::size_t kStretches = 8;
            const std::size_t stretch = std::min<std::size_t>(len / 32, 2048) / kStretches;
            for (std::size_t k = 0; k < kStretches; ++k) {
                const unsigned char* p = t_ + from + (len - stretch) * k / (kStretches - 1);
                for (std::size_t i = 0; i < stretch; ++i) {
                    ++counts[p[i]];
                }
            }
        }
        std::size_t best = m_ - 1;
        auto score = [&](std::size_t j) { return std::uint64_t{counts[raw_[j]]} * 256 + kByteRank[raw_[j]]; };
        for (std::size_t j = m_ - 1; j-- > 0;) {
            if (score(j) < score(best)) {
                best = j;
            }
        }
        rare_ = best;
        rareChosen_ = true;
    }

    std::size_t ScanExact(std::size_t from) {
        if (!rareChosen_) {
            ChooseScanByte(from);
        }
        const std::size_t last = n_ - m_;  // last possible start
        const unsigned char rare = raw_[rare_];
        const unsigned char first = raw_[0];
        const unsigned char final = raw_[m_ - 1];
        std::size_t work = 0;
        std::size_t p = from;
        while (p <= last) {
            const void* hit = std::memchr(t_ + p + rare_, rare, last - p + 1);
            if (hit == nullptr) {
                return npos;
            }
            const std::size_t c = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - t_) - rare_;
            if (t_[c] == first && t_[c + m_ - 1] == final && IsStart(c)) {
                if (std::memcmp(t_ + c, raw_, m_) == 0) {
                    return c;
                }
                work += m_;
                if (work > Budget(from, c)) {
                    return Kmp(c + 1);
                }
            }
            p = c + 1;
        }
        return npos;
    }

    std::size_t ScanFolded(std::size_t from) {
        const std::size_t last = n_ - m_;
        const unsigned char first = pat_[0];
        const bool letter = first >= 'a' && first <= 'z';
        std::size_t work = 0;
        for (std::size_t c = from; c <= last; ++c) {
            if (!letter) {
                const void* hit = std::memchr(t_ + c, first, last - c + 1);
                if (hit == nullptr) {
                    return npos;
                }
                c = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - t_);
            } else if (Fold(t_[c]) != first) {
                continue;
            }
            if (!IsStart(c)) {
                continue;
            }
            // c starts a character, so where the bytes agree the text pairs its bytes as the marker does.
            std::size_t j = 1;
            bool trail = raw_[0] >= 0x80;
            for (; j < m_; ++j) {
                const unsigned char b = t_[c + j];
                if ((trail ? b : Fold(b)) != pat_[j]) {
                    break;
                }
                trail = !trail && b >= 0x80;
            }
            if (j == m_) {
                return c;
            }
            work += j;
            if (work > Budget(from, c)) {
                return Kmp(c + 1);
            }
        }
        return npos;
    }

    // Every occurrence of the canonical marker in the canonical text from s on, in O(n - s + m); the first
    // one at a character start is the answer.
    std::size_t Kmp(std::size_t s) {
        if (s > n_ || n_ - s < m_) {
            return npos;
        }
        if (fail_.empty()) {
            fail_.assign(m_, 0);
            std::size_t k = 0;
            for (std::size_t j = 1; j < m_; ++j) {
                while (k > 0 && pat_[j] != pat_[k]) {
                    k = fail_[k - 1];
                }
                if (pat_[j] == pat_[k]) {
                    ++k;
                }
                fail_[j] = k;
            }
        }
        bool trail = fold_ && !IsStart(s);
        std::size_t j = 0;
        for (std::size_t i = s; i < n_; ++i) {
            unsigned char b = t_[i];
            if (fold_) {
                const bool isTrail = trail;
                trail = !isTrail && b >= 0x80;
                if (!isTrail) {
                    b = Fold(b);
                }
            }
            while (j > 0 && pat_[j] != b) {
                j = fail_[j - 1];
            }
            if (pat_[j] == b) {
                ++j;
            }
            if (j == m_) {
                const std::size_t start = i + 1 - m_;
                if (IsStart(start)) {
                    return start;
                }
                j = fail_[j - 1];
            }
        }
        return npos;
    }

    const unsigned char* t_;
    std::size_t n_;
    const unsigned char* raw_;
    std::size_t m_;
    bool fold_;
    std::size_t known_;
    std::vector<unsigned char> pattern_;
    const unsigned char* pat_ = nullptr;
    std::size_t rare_ = 0;
    bool rareChosen_ = false;
    std::vector<std::size_t> fail_;
};

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::size_t Find(std::string_view text, std::string_view marker, std::size_t from, Case c) {
    if (from >= text.size()) {
        return npos;
    }
    return Searcher(text, marker, c, from).Next(from);
}

bool Contains(std::string_view text, std::string_view marker, Case c) {
    return Find(text, marker, 0, c) != npos;
}

std::string PieceBefore(std::string_view text, std::string_view marker) {
    const std::size_t p = Find(text, marker);
    return std::string(p == npos ? text : text.substr(0, p));
}

std::string PieceAfter(std::string_view text, std::string_view marker) {
    Searcher s(text, marker, Case::Sensitive, 0);
    const std::size_t p = s.Next(0);
    if (p == npos) {
        return {};
    }
    const std::size_t begin = p + marker.size();
    const std::size_t end = s.Next(begin);
    return std::string(text.substr(begin, end == npos ? npos : end - begin));
}

std::vector<std::string> Split(std::string_view text, std::string_view sep) {
    std::vector<std::string> pieces;
    if (text.empty()) {
        return pieces;
    }
    if (sep.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    Searcher s(text, sep, Case::Sensitive, 0);
    std::size_t pos = 0;
    for (std::size_t p; (p = s.Next(pos)) != npos; pos = p + sep.size()) {
        pieces.emplace_back(text.substr(pos, p - pos));
    }
    // The rest after the last separator; an empty rest (text ending in sep) is not a piece.
    if (pos < text.size()) {
        pieces.emplace_back(text.substr(pos));
    }
    return pieces;
}

std::string DeleteAll(std::string_view text, std::string_view what, Case c) {
    return ReplaceAll(text, what, {}, c);
}

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with, Case c) {
    if (what.empty()) {
        return std::string(text);
    }
    std::string out;
    Searcher s(text, what, c, 0);
    std::size_t pos = 0;
    for (std::size_t p; (p = s.Next(pos)) != npos; pos = p + what.size()) {
        if (out.empty()) {
            out.reserve(text.size());
        }
        out.append(text.substr(pos, p - pos));
        out.append(with);
    }
    out.append(text.substr(pos));
    return out;
}

std::string StripSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == ' ') {
            ++i;
        } else if (b >= 0x80) {
            if (i + 1 < n) {
                if (!(b == 0xA1 && static_cast<unsigned char>(text[i + 1]) == 0xA1)) {
                    out.append(text.substr(i, 2));
                }
                i += 2;
            } else {
                out.push_back(text[i]);
                ++i;
            }
        } else {
            out.push_back(text[i]);
            ++i;
        }
    }
    return out;
}

double Number(std::string_view text) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && IsWhite(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t begin = i;
    while (i < n && IsDigit(text[i])) {
        ++i;
    }
    const std::size_t intDigits = i - begin;
    std::size_t fracDigits = 0;
    if (i < n && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < n && IsDigit(text[j])) {
            ++j;
        }
        fracDigits = j - i - 1;
        if (intDigits + fracDigits > 0) {
            i = j;
        }
    }
    if (intDigits + fracDigits == 0) {
        return 0.0;
    }
    const std::size_t mantissaEnd = i;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        const std::size_t digits = j;
        while (j < n && IsDigit(text[j])) {
            ++j;
        }
        if (j > digits) {
            i = j;  // "1e" and "1e+" leave the exponent unread
        }
    }

    double value = 0.0;
    const char* first = text.data() + begin;
    const char* last = text.data() + i;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond the double range: decide between overflow and underflow by the decimal order of the
        // first significant digit plus the exponent (out of range means far from 0 in either direction).
        long long order = 0;
        bool found = false;
        for (std::size_t k = begin; k < mantissaEnd && !found; ++k) {
            if (text[k] >= '1' && text[k] <= '9') {
                found = true;
                order = k < begin + intDigits ? static_cast<long long>(begin + intDigits - k) - 1
                                              : -static_cast<long long>(k - (begin + intDigits));
            }
        }
        long long exponent = 0;
        if (i > mantissaEnd) {
            std::size_t k = mantissaEnd + 1;
            const bool negExp = text[k] == '-';
            if (text[k] == '+' || text[k] == '-') {
                ++k;
            }
            for (; k < i; ++k) {
                exponent = std::min<long long>(exponent * 10 + (text[k] - '0'), 1'000'000'000LL);
            }
            if (negExp) {
                exponent = -exponent;
            }
        }
        value = found && order + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::int64_t Trunc(double x) {
    if (std::isnan(x)) {
        return 0;
    }
    if (x >= 9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (x < -9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(x);
}

}  // namespace vantrel::text
