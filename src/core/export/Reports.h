// Report files as pure builders: the CSV export and the HTML report (GBK bytes).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "analysis/ResultTable.h"

namespace vantrel {

enum class ExportLayout { Taobao, Tmall };

// Taobao when the address holds TaobaoDomainMark (exact case), Tmall otherwise.
ExportLayout ExportLayoutFor(std::string_view shopAddress);

// The CSV file's bytes: header, one CR LF line per row. A field holding a comma, a double quote, CR or LF is
// written in double quotes with its inner quotes doubled, so it cannot shift the columns after it.
std::string BuildCsv(const ResultTable& table, ExportLayout layout);

// The shop name for the report's title and file name, from the shop page (or the address).
std::string ReportTitleFor(std::string_view shopPageText, std::string_view shopAddress);

// The HTML report's bytes. "<" and ">" in cell texts and in the title become "&lt;" and "&gt;", and a double
// quote in an attribute value becomes "&quot;"; "&" stays, so entities taken from the marketplace still render.
std::string BuildHtmlReport(const ResultTable& table, ExportLayout layout, std::string_view reportTitle);

// A file name made from the report title that cannot leave its folder: ReportTitle + ".html" (GBK).
// Path separators, control bytes and \ / : * ? " < > | become "_", as does every dot of a ".." and a leading
// dot (no hidden files); an empty title gives "_.html"; the name is cut, between characters, to 160 bytes
// before ".html". Whole GBK characters are kept as they are.
std::string ReportFileName(std::string_view reportTitle);

// folder / ReportFileName(reportTitle), the name converted to UTF-8 for the file system.
std::filesystem::path ReportFilePath(const std::filesystem::path& folder, std::string_view reportTitle);

}  // namespace vantrel
