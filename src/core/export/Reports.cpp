#include "export/Reports.h"

#include <array>
#include <span>

#include "analysis/TextOps.h"
#include "vantrel/Config.h"
#include "web/Encoding.h"

namespace vantrel {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// Columns of the CSV lines, in line order.
constexpr std::array<int, 13> kTaobaoCsvColumns = {kSeq,        kTitle,       kListPrice,   kSalePrice, kLowestPrice,
                                                   kFavourites, kDeals30d,    kReceipts30d, kReviews,   kItemUrl,
                                                   kListedAt,   kPublishedAt, kDelistAt};
constexpr std::array<int, 10> kTmallCsvColumns = {kSeq,        kTitle,   kListPrice, kSalePrice,   kLowestPrice,
                                                  kFavourites, kReviews, kItemUrl,   kPublishedAt, kDelistAt};

// Columns of the report's cells after number, picture and title.
constexpr std::array<int, 10> kTaobaoHtmlTail = {kListPrice,   kSalePrice, kLowestPrice, kFavourites,  kDeals30d,
                                                 kReceipts30d, kReviews,   kListedAt,    kPublishedAt, kDelistAt};
constexpr std::array<int, 7> kTmallHtmlTail = {kListPrice, kSalePrice,   kLowestPrice, kFavourites,
                                               kReviews,   kPublishedAt, kDelistAt};

std::span<const int> CsvColumns(ExportLayout layout) {
    return layout == ExportLayout::Taobao ? std::span<const int>(kTaobaoCsvColumns)
                                          : std::span<const int>(kTmallCsvColumns);
}

std::span<const int> HtmlTail(ExportLayout layout) {
    return layout == ExportLayout::Taobao ? std::span<const int>(kTaobaoHtmlTail)
                                          : std::span<const int>(kTmallHtmlTail);
}

const std::string& CsvHeader(ExportLayout layout) {
    static const std::string taobao =
        Utf8ToGbk("序号,标题,摆价,售价,历史最低价,收藏量,月成交量,月收货量,评价数,网址,上新时间,发布时间,下架时间\r\n");
    static const std::string tmall =
        Utf8ToGbk("序号,标题,摆价,售价,历史最低价,收藏量,评价数,网址,发布时间,下架时间\r\n");
    return layout == ExportLayout::Taobao ? taobao : tmall;
}

void AppendCsvField(std::string& out, const std::string& cell) {
    const bool needsQuotes = text::Contains(cell, ",") || text::Contains(cell, "\"") || text::Contains(cell, "\r") ||
                             text::Contains(cell, "\n");
    if (!needsQuotes) {
        out += cell;
        return;
    }
    out += '"';
    out += text::ReplaceAll(cell, "\"", "\"\"");
    out += '"';
}

// Element content: no markup can be opened or closed from a cell.
std::string HtmlText(std::string_view cell) {
    return text::ReplaceAll(text::ReplaceAll(cell, "<", "&lt;"), ">", "&gt;");
}

// A double-quoted attribute value: additionally it cannot end the attribute.
std::string HtmlAttribute(std::string_view cell) {
    return text::ReplaceAll(HtmlText(cell), "\"", "&quot;");
}

// The page around the rows: everything up to the two blanks of the row line, and everything after it.
struct HtmlTemplate {
    std::string head;
    std::string tail;
};

const HtmlTemplate& TemplateFor(ExportLayout layout) {
    auto build = [](std::span<const char* const> headers, std::string_view ending) {
        std::string head;
        head +=
            "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
            "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n";
        head += "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n";
        head += "<head>\r\n";
        head += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />\r\n";
        head += "<title>Vantrel [title] Kestrum";
        head += Utf8ToGbk(config::MakerSiteHost);
        head += "</title>\r\n";
        head += "<style>\r\n";
        head += "img{height:200px; width:200px}\r\n";
        head += "tr td{text-align:center;}\r\n";
        head += "</style>\r\n";
        head += "</head>\r\n";
        head += "\r\n";
        head += "<body>\r\n";
        head += "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"0\">\r\n";
        head += "  <tr bgcolor=\"#FFFFCC\">\r\n";
        for (const char* h : headers) {
            head += "    <td>" + Utf8ToGbk(h) + "</td>\r\n";
        }
        head += "  </tr>\r\n";
        head += "  ";
        std::string tail = "\r\n</table>\r\n</body>\r\n";
        tail += ending;
        return HtmlTemplate{std::move(head), std::move(tail)};
    };
    static const std::array<const char*, 13> taobaoHeaders = {
        "序号",     "主图",     "标题",   "摆价",     "售价",     "历史最低价", "收藏量",
        "30天成交", "30天收货", "评价数", "上新时间", "发布时间", "下架时间"};
    static const std::array<const char*, 10> tmallHeaders = {"序号",       "主图",   "标题",   "摆价",     "售价",
                                                             "历史最低价", "收藏量", "评价数", "发布时间", "下架时间"};
    static const HtmlTemplate taobao = build(taobaoHeaders, "</html>\r\n\r\n");
    static const HtmlTemplate tmall = build(tmallHeaders, "</html>");
    return layout == ExportLayout::Taobao ? taobao : tmall;
}

bool IsForbiddenInFileName(unsigned char b) {
    if (b < 0x20 || b == 0x7F) {
        return true;
    }
    return std::string_view("\\/:*?\"<>|").find(static_cast<char>(b)) != std::string_view::npos;
}

constexpr std::size_t kMaxFileNameStem = 160;

}  // namespace

ExportLayout ExportLayoutFor(std::string_view shopAddress) {
    return text::Contains(shopAddress, config::TaobaoDomainMark) ? ExportLayout::Taobao : ExportLayout::Tmall;
}

std::string BuildCsv(const ResultTable& table, ExportLayout layout) {
    const auto columns = CsvColumns(layout);
    std::string out = CsvHeader(layout);
    for (int r = 0; r < table.RowCount(); ++r) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            AppendCsvField(out, table.Cell(r, columns[i]));
            out += i + 1 < columns.size() ? std::string_view(",") : kCrLf;
        }
    }
    return out;
}

std::string ReportTitleFor(std::string_view shopPageText, std::string_view shopAddress) {
    static const std::string homeMark = Utf8ToGbk("首页-");
    if (text::Contains(shopPageText, homeMark)) {
        return text::PieceBefore(text::PieceAfter(shopPageText, homeMark), "-");
    }
    return text::PieceBefore(text::PieceAfter(shopAddress, "http://"), ".");
}

std::string BuildHtmlReport(const ResultTable& table, ExportLayout layout, std::string_view reportTitle) {
    const HtmlTemplate& page = TemplateFor(layout);
    const auto tail = HtmlTail(layout);
    std::string out = text::ReplaceAll(page.head, "[title]", HtmlText(reportTitle));
    for (int r = 0; r < table.RowCount(); ++r) {
        out += "<tr><td>";
        out += std::to_string(r + 1);
        out += "</td><td><a href=\"";
        out += HtmlAttribute(table.Cell(r, kItemUrl));
        out += "\" target=\"_blank\"><img src=\"";
        out += HtmlAttribute(table.Cell(r, kImageUrl));
        out += "\" alt=\"Vantrel\" /></a></td><td>";
        out += HtmlText(table.Cell(r, kTitle));
        for (int column : tail) {
            out += "</td><td>";
            out += HtmlText(table.Cell(r, column));
        }
        out += "</td></tr>";
    }
    out += page.tail;
    return out;
}

std::string ReportFileName(std::string_view reportTitle) {
    std::string stem;
    for (std::size_t i = 0; i < reportTitle.size() && stem.size() < kMaxFileNameStem;) {
        const auto b = static_cast<unsigned char>(reportTitle[i]);
        if (b >= 0x80) {
            // A double-byte character stays whole; a lead byte without a proper trail byte (which could be a
            // path separator) is not a character and is replaced on its own.
            const bool whole = i + 1 < reportTitle.size() && static_cast<unsigned char>(reportTitle[i + 1]) >= 0x40 &&
                               static_cast<unsigned char>(reportTitle[i + 1]) != 0x7F;
            if (whole) {
                if (stem.size() + 2 > kMaxFileNameStem) {
                    break;
                }
                stem.append(reportTitle.substr(i, 2));
                i += 2;
            } else {
                stem += '_';
                ++i;
            }
            continue;
        }
        stem += IsForbiddenInFileName(b) ? '_' : static_cast<char>(b);
        ++i;
    }
    stem = text::ReplaceAll(stem, "..", "__");
    if (stem.empty()) {
        stem = "_";
    }
    if (stem.front() == '.') {
        stem.front() = '_';
    }
    return stem + ".html";
}

std::filesystem::path ReportFilePath(const std::filesystem::path& folder, std::string_view reportTitle) {
    return folder / GbkToUtf8(ReportFileName(reportTitle));
}

}  // namespace vantrel
