// vantrel-cli: the whole shop run without a window.
//
// stdout: the finished table as UTF-8, one row per line, tab-separated, the column titles first.
// stderr: progress (unless --quiet), security checks, the files written and the end-of-run text.
// Exit status: 0 when the run ended with "已完成任务！", 1 when it ended with a failure text or a file could not
// be written, 2 for bad arguments or an address that names no Taobao or Tmall shop.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommonOptions.h"
#include "app/DataFolder.h"
#include "app/FileIO.h"
#include "export/Reports.h"
#include "run/HeadlessRun.h"
#include "run/RunController.h"
#include "web/Encoding.h"
#include "web/WebRequest.h"

namespace {

using namespace vantrel;

constexpr std::string_view kUsage =
    "usage: vantrel-cli [--market URL] [--data-dir DIR] [--csv FILE] [--html] [--quiet] SHOP_ADDRESS\n"
    "  --market URL    send every request to this server (http://HOST:PORT), keeping addresses and Host headers\n"
    "  --data-dir DIR  folder of url.txt and of the HTML report (default: the program's folder when writable,\n"
    "                  else ~/.local/share/vantrel)\n"
    "  --csv FILE      write the CSV export (GBK) to FILE\n"
    "  --html          write the HTML report (GBK) into the data folder\n"
    "  --quiet         no progress on stderr\n";

struct Arguments {
    CommonOptions common;  // --market, --data-dir
    std::optional<std::filesystem::path> csv;
    bool html = false;
    bool quiet = false;
    bool help = false;
    std::string address;  // as typed (UTF-8)
};

// Writes UTF-8 text to stderr as one line.
void Say(std::string_view utf8) {
    std::string line(utf8);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void SayGbk(std::string_view gbk) {
    Say(GbkToUtf8(gbk));
}

// The arguments, or the reason they are wrong in `error`.
Arguments ParseArguments(int argc, char** argv, std::string& error) {
    Arguments args;
    args.common = ParseCommonOptions(argc, argv);
    error = args.common.error;
    const std::vector<std::string>& rest = args.common.rest;
    bool haveAddress = false;
    auto takeAddress = [&](const std::string& a) {
        if (haveAddress) {
            error = "exactly one shop address is needed";
        }
        args.address = a;
        haveAddress = true;
    };
    for (std::size_t i = 1; i < rest.size() && error.empty(); ++i) {
        const std::string& a = rest[i];
        if (a == "--csv" || a.starts_with("--csv=")) {
            std::string value;
            if (a != "--csv") {
                value = a.substr(6);
            } else if (i + 1 < rest.size()) {
                value = rest[++i];
            }
            if (value.empty()) {
                error = "option --csv needs a value: --csv FILE";
            }
            args.csv = value;
        } else if (a == "--html") {
            args.html = true;
        } else if (a == "--quiet") {
            args.quiet = true;
        } else if (a == "--help" || a == "-h") {
            args.help = true;
        } else if (a == "--") {
            for (++i; i < rest.size(); ++i) {
                takeAddress(rest[i]);
            }
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
        } else {
            takeAddress(a);
        }
    }
    if (error.empty() && !haveAddress && !args.help) {
        error = "a shop address is needed";
    }
    return args;
}

// A cell on one line of the tab-separated table: tabs and line breaks inside it become blanks.
std::string TableField(const std::string& gbk) {
    std::string utf8 = GbkToUtf8(gbk);
    for (char& ch : utf8) {
        if (ch == '\t' || ch == '\r' || ch == '\n') {
            ch = ' ';
        }
    }
    return utf8;
}

void PrintTable(const ResultTable& table) {
    std::string out;
    for (int c = 0; c < kColumnCount; ++c) {
        out += TableField(Columns()[c].title);
        out += c + 1 < kColumnCount ? '\t' : '\n';
    }
    for (int r = 0; r < table.RowCount(); ++r) {
        for (int c = 0; c < kColumnCount; ++c) {
            out += TableField(table.Cell(r, c));
            out += c + 1 < kColumnCount ? '\t' : '\n';
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

// lastStatus: the status text shown last (so that the end-of-run text is not shown twice in a row).
HeadlessRunCallbacks MakeCallbacks(bool quiet, std::string& lastStatus) {
    HeadlessRunCallbacks cb;
    cb.securityCheck = [](const std::string& address) {
        Say("市场要求安全验证：" + GbkToUtf8(address) + "（命令行不等待验证，继续分析）");
    };
    cb.captured = [](const std::string& address, bool good) {
        if (!good) {
            Say("页面需要在浏览器中登录或验证，未能取得列表：" + GbkToUtf8(address) + "（继续）");
        }
    };
    if (!quiet) {
        cb.status = [&lastStatus](const std::string& text) {
            SayGbk(text);
            lastStatus = text;
        };
        cb.progress = [](Stage stage, int n, int count, const std::string& detail) {
            switch (stage) {
                case Stage::Capture:
                    Say("[采集] " + GbkToUtf8(detail));
                    break;
                case Stage::Crawl:
                    Say("[抓取] 第 " + std::to_string(n) + "/" + std::to_string(count) + " 页 " + GbkToUtf8(detail));
                    break;
                case Stage::Analysis:
                    Say("[分析] 第 " + std::to_string(n) + "/" + std::to_string(count) + " 个商品 " +
                        GbkToUtf8(detail));
                    break;
            }
        };
    }
    return cb;
}

bool WriteCsv(const HeadlessRunResult& result, const std::filesystem::path& file) {
    if (result.table.RowCount() < 1) {
        Say("暂无数据可导出！");
        return true;
    }
    if (!WriteFileAtomic(file, BuildCsv(result.table, ExportLayoutFor(result.shopAddress)))) {
        Say("无法写入CSV文件：" + file.string());
        return false;
    }
    Say("CSV：" + file.string());
    return true;
}

bool WriteHtml(const HeadlessRunResult& result, const std::filesystem::path& folder) {
    if (result.table.RowCount() < 1) {
        Say("暂无数据可保存");
        return true;
    }
    const std::string page = web::PageText(web::WebRequest(result.shopAddress));
    const std::string title = ReportTitleFor(page, result.shopAddress);
    const std::filesystem::path file = ReportFilePath(folder, title);
    if (!WriteFileAtomic(file, BuildHtmlReport(result.table, ExportLayoutFor(result.shopAddress), title))) {
        Say("无法写入网页报表：" + file.string());
        return false;
    }
    Say("网页报表：" + file.string());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const Arguments args = ParseArguments(argc, argv, error);
    if (error.empty() && !args.help) {
        ApplyCommonOptions(args.common, ProgramFolder(), error);
    }
    if (!error.empty() || args.help) {
        if (!error.empty()) {
            Say("vantrel-cli: " + error);
        }
        std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
        return error.empty() ? 0 : 2;
    }
    const std::filesystem::path folder = DataFolder();
    if (!std::filesystem::is_directory(folder)) {
        Say("vantrel-cli: cannot use the data folder " + folder.string());
        return 2;
    }

    HeadlessRunOptions options;
    options.dataFolder = folder;
    std::string lastStatus;
    HeadlessRunResult result = RunShop(Utf8ToGbk(args.address), options, MakeCallbacks(args.quiet, lastStatus));
    if (result.outcome == RunOutcome::Rejected) {
        SayGbk(result.finalText);
        return 2;
    }

    PrintTable(result.table);
    bool written = true;
    if (args.csv) {
        written = WriteCsv(result, *args.csv) && written;
    }
    if (args.html) {
        written = WriteHtml(result, folder) && written;
    }
    if (result.finalText.empty()) {
        Say("任务未完成");
    } else if (result.finalText != lastStatus || args.csv || args.html) {
        SayGbk(result.finalText);
    }
    return result.outcome == RunOutcome::Finished && written ? 0 : 1;
}
