#include <gtest/gtest.h>

#include <cstdlib>

#include "WebTestSupport.h"
#include "app/CommonOptions.h"
#include "app/DataFolder.h"
#include "web/WebSettings.h"

namespace vantrel {
namespace {

using webtest::TempDir;

TEST(CommonOptions, TakesBothOptionsInBothFormsAndLeavesTheRest) {
    const CommonOptions o = ParseCommonOptions(
        {"vantrel-cli", "--csv", "out.csv", "--market", "http://127.0.0.1:8080", "--data-dir=/tmp/d", "shop"});
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.market, "http://127.0.0.1:8080");
    EXPECT_EQ(o.dataDir, "/tmp/d");
    EXPECT_EQ(o.rest, (std::vector<std::string>{"vantrel-cli", "--csv", "out.csv", "shop"}));

    const CommonOptions p = ParseCommonOptions({"vantrel", "--market=http://h:1", "--data-dir", "rel dir"});
    EXPECT_EQ(p.market, "http://h:1");
    EXPECT_EQ(p.dataDir, "rel dir");
    EXPECT_EQ(p.rest, (std::vector<std::string>{"vantrel"}));
}

TEST(CommonOptions, StopsAtDoubleDash) {
    const CommonOptions o = ParseCommonOptions({"vantrel", "--", "--market", "x"});
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.market, "");
    EXPECT_EQ(o.rest, (std::vector<std::string>{"vantrel", "--", "--market", "x"}));
}

TEST(CommonOptions, AMissingValueIsAClearError) {
    EXPECT_EQ(ParseCommonOptions({"vantrel", "--market"}).error, "option --market needs a value: --market URL");
    EXPECT_EQ(ParseCommonOptions({"vantrel", "--data-dir="}).error, "option --data-dir needs a value: --data-dir DIR");
    EXPECT_EQ(ParseCommonOptions({"vantrel", "--data-dir", "--market", "http://h"}).error,
              "option --data-dir needs a value: --data-dir DIR");
    const char* argv[] = {"vantrel", "--market"};
    EXPECT_NE(ParseCommonOptions(2, argv).error, "");
}

TEST(CommonOptions, ApplySetsTheDataFolderAndTheRouteAndRefusesABadMarket) {
    TempDir dir;
    std::string error;
    CommonOptions o = ParseCommonOptions({"vantrel", "--market", "nonsense"});
    EXPECT_FALSE(ApplyCommonOptions(o, dir.path(), error));
    EXPECT_NE(error.find("--market"), std::string::npos);

    const std::filesystem::path before = DataFolder();
    o = ParseCommonOptions(
        {"vantrel", "--market", "http://127.0.0.1:5555", "--data-dir", (dir.path() / "new" / "data").string()});
    error.clear();
    EXPECT_TRUE(ApplyCommonOptions(o, dir.path(), error)) << error;
    EXPECT_EQ(DataFolder(), dir.path() / "new" / "data");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "new" / "data"));
    EXPECT_EQ(web::MarketRouteTarget(), "127.0.0.1:5555");

    o = ParseCommonOptions({"vantrel"});
    EXPECT_TRUE(ApplyCommonOptions(o, dir.path(), error));
    EXPECT_EQ(DataFolder(), dir.path());  // the program folder is writable
    EXPECT_EQ(web::MarketRouteTarget(), "");
    SetDataFolder(before);
}

TEST(CommonOptions, ProgramFolderIsTheFolderOfTheTestBinary) {
    EXPECT_TRUE(std::filesystem::exists(ProgramFolder() / "web_tests"));
}

class DefaultDataFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(DefaultDataFolderTest, IsTheProgramFolderWhenWritable) {
    TempDir dir;
    EXPECT_EQ(DefaultDataFolder(dir.path()), dir.path());
}

TEST_F(DefaultDataFolderTest, FallsBackToXdgDataHomeThenHome) {
    TempDir dir;
    const std::filesystem::path noProgram = dir.path() / "not-there";
    ::setenv("XDG_DATA_HOME", (dir.path() / "xdg").c_str(), 1);
    EXPECT_EQ(DefaultDataFolder(noProgram), dir.path() / "xdg" / "vantrel");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "xdg" / "vantrel"));

    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    ::setenv("HOME", (dir.path() / "home").c_str(), 1);
    EXPECT_EQ(DefaultDataFolder(noProgram), dir.path() / "home" / ".local" / "share" / "vantrel");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(DefaultDataFolder(""), dir.path() / "home" / ".local" / "share" / "vantrel");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "home" / ".local" / "share" / "vantrel"));
}

}  // namespace
}  // namespace vantrel
