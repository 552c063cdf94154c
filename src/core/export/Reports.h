// Report files as pure builders: the CSV export and the HTML report (GBK bytes).
#pragma once

#include <string>
#include <string_view>

#include "analysis/ResultTable.h"

namespace vantrel {

enum class ExportLayout { Taobao, Tmall };

// Taobao when the address holds TaobaoDomainMark (exact case), Tmall otherwise.
ExportLayout ExportLayoutFor(std::string_view shopAddress);

// The CSV file's bytes: header, one CR LF line per row.
std::string BuildCsv(const ResultTable& table, ExportLayout layout);

// The shop name for the report's title and file name, from the shop page (or the address).
std::string ReportTitleFor(std::string_view shopPageText, std::string_view shopAddress);

// The HTML report's bytes.
std::string BuildHtmlReport(const ResultTable& table, ExportLayout layout, std::string_view reportTitle);

// A file name made from the report title that cannot leave its folder: ReportTitle + ".html".
std::string ReportFileName(std::string_view reportTitle);

}  // namespace vantrel
