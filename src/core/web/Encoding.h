// Conversions between the program's GBK text and the UTF-8 / UTF-16 of outside services and the GUI.
// None of them fails as a whole: a character GBK cannot hold becomes "?", invalid input is replaced.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// UTF-8 bytes to GBK text, up to (not including) the first zero character.
std::string Utf8ToText(std::string_view utf8);

// UTF-16LE buffer to GBK text, up to the first zero code unit.
std::string WideToText(std::string_view utf16le);

// GBK text -> UTF-8 bytes, then "!".."z" kept and every other byte as %XX (upper-case).
std::string UrlEncodeUtf8(std::string_view gbk);

// Percent-encoding of GBK bytes for the short-link service (a byte >= 0x7F and the next are encoded as a pair).
std::string UrlEncodeGbk(std::string_view gbk);

// Whole-text conversions for the desktop layer and for writing GBK markers in UTF-8 source files.
std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

}  // namespace vantrel
