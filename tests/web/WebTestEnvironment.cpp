// Every web test process works in a temporary data folder of its own, set before the first use of the store.
#include <gtest/gtest.h>

#include <memory>

#include "WebTestSupport.h"
#include "app/DataFolder.h"

namespace {

class DataFolderEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        dir_ = std::make_unique<vantrel::webtest::TempDir>();
        vantrel::SetDataFolder(dir_->path() / "data");
    }
    void TearDown() override { dir_.reset(); }

private:
    std::unique_ptr<vantrel::webtest::TempDir> dir_;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new DataFolderEnvironment);

}  // namespace
