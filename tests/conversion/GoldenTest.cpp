// The bundled examples converted and compared byte for byte with the documents committed under
// tests/golden: any change in what the converter writes shows here, and in review.
#include "conversion/Conversion.h"
#include "model/Globals.h"
#include "model/Utils.h"
#include "writer/WriterSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qmk {
namespace {

const std::filesystem::path kTests = std::filesystem::path(__FILE__).parent_path().parent_path();
const std::filesystem::path kExamples = kTests.parent_path() / "examples";
const std::filesystem::path kGolden = kTests / "golden";

class ExampleTest : public test::DocFolderTest {
  protected:
    // The backup date is checked against today: a fixed day keeps the output the same on any.
    void SetUp() override {
        Utils::SetClock([] { return Date(2024, 6, 15, 10, 30, 0); });
    }
    void TearDown() override {
        Utils::SetClock(nullptr);
        DocFolderTest::TearDown();
    }

    // Converts a copy of the example in the scratch folder; the source's bytes.
    std::string convert(const std::string& example) {
        const std::string bytes = test::TempDir::read(kExamples / example);
        EXPECT_FALSE(bytes.empty()) << "no example " << (kExamples / example);
        source(example, bytes);
        convertThread_Run(h, nullptr);
        return bytes;
    }
};

// An example and the name of the document it converts to.
class GoldenTest : public ExampleTest,
                   public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(GoldenTest, ExampleConvertsToTheCommittedDocument) {
    const auto [example, written] = GetParam();
    convert(example);
    ASSERT_EQ(h.errorMsg(), "");
    ASSERT_EQ(names(), (std::set<std::string>{example, written}));

    const std::string got = read(written);
    const std::string want = test::TempDir::read(kGolden / written);
    ASSERT_FALSE(want.empty()) << "no golden document " << (kGolden / written);
    EXPECT_EQ(got.size(), want.size());
    const auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    EXPECT_TRUE(diff.first == got.end() && diff.second == want.end())
        << "first difference at byte " << (diff.first - got.begin());
}

INSTANTIATE_TEST_SUITE_P(Examples, GoldenTest,
                         ::testing::Values(std::pair{"plus-x.qmkx", "plus-x.qmkp"},
                                           std::pair{"v32.qmk3", "v32.qmkp"}),
                         [](const auto& info) {
                             return std::string(info.param.first).substr(0, 4) == "plus"
                                        ? std::string("PlusX")
                                        : std::string("V32");
                         });

TEST_F(ExampleTest, ProExampleIsRefusedAndNothingIsWritten) {
    const std::string bytes = convert("pro.qmkp");
    EXPECT_EQ(h.errorMsg(), Globals::kVersionPro());
    EXPECT_FALSE(h.newFile());
    EXPECT_EQ(names(), std::set<std::string>{"pro.qmkp"});
    EXPECT_EQ(read("pro.qmkp"), bytes);
}

} // namespace
} // namespace qmk
