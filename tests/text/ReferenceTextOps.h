// A plain reference of the GBK search rule (every position tried, character starts precomputed), for the
// differential checks of the tests and of the fuzz target. Slow on purpose: it is obviously right.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TextOps.h"

// The fuzz target defines this to keep the reference out of its coverage feedback.
#ifndef VANTREL_REFERENCE_ATTR
#define VANTREL_REFERENCE_ATTR
#endif

namespace vantrel::text::reference {

// starts[i]: position i begins a character (a byte >= 0x80 and the next one form one character).
VANTREL_REFERENCE_ATTR inline std::vector<bool> CharStarts(std::string_view t) {
    std::vector<bool> starts(t.size() + 1, false);
    std::size_t i = 0;
    while (i < t.size()) {
        starts[i] = true;
        i += static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1;
    }
    if (i == t.size()) {
        starts[i] = true;
    }
    return starts;
}

VANTREL_REFERENCE_ATTR inline unsigned char Fold(unsigned char b) {
    return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + 32) : b;
}

// Marker bytes at p, compared character by character: single-byte characters fold when asked, the two
// bytes of a double-byte character compare exactly.
VANTREL_REFERENCE_ATTR inline bool MatchesAt(std::string_view t, std::size_t p, std::string_view m, Case c) {
    if (p + m.size() > t.size()) {
        return false;
    }
    bool trail = false;
    for (std::size_t j = 0; j < m.size(); ++j) {
        const auto a = static_cast<unsigned char>(t[p + j]);
        const auto b = static_cast<unsigned char>(m[j]);
        const bool fold = c == Case::Insensitive && !trail;
        if ((fold ? Fold(a) : a) != (fold ? Fold(b) : b)) {
            return false;
        }
        trail = !trail && b >= 0x80;
    }
    return true;
}

VANTREL_REFERENCE_ATTR inline std::size_t Find(std::string_view t, std::string_view m, std::size_t from, Case c,
                                               const std::vector<bool>& starts) {
    if (from >= t.size()) {
        return npos;
    }
    if (m.empty()) {
        return from;
    }
    for (std::size_t p = from; p + m.size() <= t.size(); ++p) {
        if (starts[p] && MatchesAt(t, p, m, c)) {
            return p;
        }
    }
    return npos;
}

VANTREL_REFERENCE_ATTR inline std::string Replace(std::string_view t, std::string_view what, std::string_view with,
                                                  Case c, const std::vector<bool>& starts) {
    if (what.empty()) {
        return std::string(t);
    }
    std::string out;
    std::size_t i = 0;
    while (i < t.size()) {
        if (starts[i] && MatchesAt(t, i, what, c)) {
            out.append(with);
            i += what.size();
        } else {
            out.push_back(t[i]);
            ++i;
        }
    }
    return out;
}

inline std::size_t Find(std::string_view t, std::string_view m, std::size_t from, Case c) {
    return Find(t, m, from, c, CharStarts(t));
}

inline std::string Replace(std::string_view t, std::string_view what, std::string_view with, Case c) {
    return Replace(t, what, with, c, CharStarts(t));
}

}  // namespace vantrel::text::reference
