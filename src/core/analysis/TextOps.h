// Marker search and cutting over GBK text held as raw bytes.
//
// Every search walks the text by characters: a byte of 0x80 or above and the byte after it form one
// character, and a marker only matches where a character starts. Matches are non-overlapping, from the
// left. Comparison is exact unless the caller asks for ASCII-case-insensitive matching.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::text {

enum class Case { Sensitive, Insensitive };

inline constexpr std::size_t npos = std::string_view::npos;

// Position of the first match of marker at or after `from` (which must itself be a character start),
// or npos. An empty marker matches at `from` when from < text.size(); the empty text contains nothing.
std::size_t Find(std::string_view text, std::string_view marker, std::size_t from = 0, Case c = Case::Sensitive);

// contains(text, m).
bool Contains(std::string_view text, std::string_view marker, Case c = Case::Sensitive);

// The text before the first occurrence of marker; the whole text when it does not occur.
std::string PieceBefore(std::string_view text, std::string_view marker);

// The text between the first and the second occurrence of marker, or from the first to the end when
// there is no second; empty when marker does not occur.
std::string PieceAfter(std::string_view text, std::string_view marker);

// Splits at every occurrence of sep; the pieces between (the first piece is the text before the first
// occurrence). An empty text gives no pieces.
std::vector<std::string> Split(std::string_view text, std::string_view sep);

std::string DeleteAll(std::string_view text, std::string_view what, Case c = Case::Sensitive);
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with, Case c = Case::Sensitive);

// Removes every ASCII space and every ideographic space (A1 A1); tabs, CR and LF stay.
std::string StripSpaces(std::string_view text);

// The longest leading decimal number (sign, digits, point, exponent) after leading white space; 0 if none.
double Number(std::string_view text);

// The integer part of x, toward zero (saturating at the int64 range; NaN gives 0).
std::int64_t Trunc(double x);

}  // namespace vantrel::text
