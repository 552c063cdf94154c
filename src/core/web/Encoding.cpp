#include "web/Encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace vantrel {
namespace {

// One converter per direction and thread: iconv descriptors carry shift state and are not thread-safe.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input; a sequence that cannot be converted becomes "?" and is skipped
    // (its length told by skip()), so the conversion never fails as a whole.
    //
    // The input is handed to iconv in bounded chunks. glibc converts through an internal form and, when
    // the second step stops at a bad character, converts the first step's input again up to that point;
    // with the whole input in one call every bad character would cost a pass over up to 8 K characters,
    // which made texts full of unrepresentable characters quadratic (16 000 Hangul syllables: 1.2 s).
    // After an error the chunk shrinks to kMinChunk and then doubles back while the input converts.
    template <typename Skip>
    std::string Run(std::string_view in, Skip skip) {
        constexpr std::size_t kMinChunk = 64;  // longer than any sequence of the three encodings
        constexpr std::size_t kMaxChunk = 4096;
        std::string out;
        if (cd_ == reinterpret_cast<iconv_t>(-1) || in.empty()) {
            return out;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.reserve(in.size() * 2);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        std::size_t chunk = kMaxChunk;
        char buffer[4096];
        while (srcLeft > 0) {
            const std::size_t take = std::min(srcLeft, chunk);
            std::size_t takeLeft = take;
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &src, &takeLeft, &dst, &dstLeft);
            const int error = errno;  // read before anything else can change it
            const std::size_t consumed = take - takeLeft;
            srcLeft -= consumed;
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (rc != static_cast<std::size_t>(-1)) {
                chunk = std::min(chunk * 2, kMaxChunk);
                continue;
            }
            if (error == E2BIG && dst != buffer) {
                continue;
            }
            if (error == EINVAL && srcLeft > takeLeft && consumed > 0) {
                continue;  // a sequence cut by the chunk's end: the next chunk starts with it
            }
            // EILSEQ (invalid or unrepresentable) or EINVAL (truncated at the end of the input); anything
            // else (no progress at all) is treated like EILSEQ so the loop always advances.
            out.push_back('?');
            std::size_t n = error == EINVAL && srcLeft == takeLeft ? srcLeft : skip(std::string_view(src, srcLeft));
            n = std::max<std::size_t>(1, std::min(n, srcLeft));
            src += n;
            srcLeft -= n;
            chunk = kMinChunk;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

// Length of the UTF-8 sequence at the start of s when it is well formed, else 1 (one bad byte).
std::size_t Utf8SequenceLength(std::string_view s) {
    const auto b = static_cast<unsigned char>(s[0]);
    std::size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || n > s.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return n;
}

// A GBK pair is a lead byte 81..FE and a trail byte 40..FE other than 7F. A bad byte is skipped alone,
// so a lead byte followed by an ASCII character (say 81 20) does not swallow that character.
std::size_t GbkSequenceLength(std::string_view s) {
    const auto lead = static_cast<unsigned char>(s[0]);
    if (lead < 0x81 || lead > 0xFE || s.size() < 2) {
        return 1;
    }
    const auto trail = static_cast<unsigned char>(s[1]);
    return trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 1;
}

std::size_t Utf16SequenceLength(std::string_view s) {
    if (s.size() >= 4) {
        const unsigned hi = static_cast<unsigned char>(s[1]);
        const unsigned next = static_cast<unsigned char>(s[3]);
        if (hi >= 0xD8 && hi <= 0xDB && next >= 0xDC && next <= 0xDF) {
            return 4;
        }
    }
    return 2;
}

constexpr char kHex[] = "0123456789ABCDEF";

void AppendPercent(std::string& out, unsigned char b) {
    out.push_back('%');
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0xF]);
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
    thread_local Converter c("GBK", "UTF-8");
    return c.Run(utf8, Utf8SequenceLength);
}

std::string GbkToUtf8(std::string_view gbk) {
    thread_local Converter c("UTF-8", "GBK");
    return c.Run(gbk, GbkSequenceLength);
}

std::string Utf8ToText(std::string_view utf8) {
    return Utf8ToGbk(utf8.substr(0, utf8.find('\0')));
}

std::string WideToText(std::string_view utf16le) {
    // An odd last byte is the low half of a last code unit whose high half is 0 (the platform routine
    // appends zero bytes to a buffer that does not end in one).
    std::string padded;
    if (utf16le.size() % 2 != 0) {
        padded.assign(utf16le);
        padded.push_back('\0');
        utf16le = padded;
    }
    std::size_t units = utf16le.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        if (utf16le[2 * i] == '\0' && utf16le[2 * i + 1] == '\0') {
            units = i;
            break;
        }
    }
    thread_local Converter c("GBK", "UTF-16LE");
    return c.Run(utf16le.substr(0, units * 2), Utf16SequenceLength);
}

std::string UrlEncodeUtf8(std::string_view gbk) {
    const std::string utf8 = GbkToUtf8(gbk.substr(0, gbk.find('\0')));
    std::string out;
    out.reserve(utf8.size() * 3);
    for (unsigned char b : utf8) {
        if (b >= 0x21 && b <= 0x7A) {
            out.push_back(static_cast<char>(b));
        } else {
            AppendPercent(out, b);
        }
    }
    return out;
}

std::string UrlEncodeGbk(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size() * 3);
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        if (b >= 0x7F) {
            AppendPercent(out, b);
            if (i + 1 < gbk.size()) {
                AppendPercent(out, static_cast<unsigned char>(gbk[++i]));
            }
        } else if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '.' || b == '-' ||
                   b == '_') {
            out.push_back(static_cast<char>(b));
        } else {
            AppendPercent(out, b);
        }
    }
    return out;
}

}  // namespace vantrel
