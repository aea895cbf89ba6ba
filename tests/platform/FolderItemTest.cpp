#include "platform/FolderItem.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>
#include <sys/xattr.h>

namespace qmk {
namespace {

using test::TempDir;

bool xattrsWork(const std::filesystem::path& p) {
    return setxattr(p.c_str(), "user.qmk-probe", "1", 1, 0) == 0;
}

TEST(FolderItemTest, NamesAndPaths) {
    TempDir dir;
    FolderItem folder(dir.path());
    FolderItem child = folder.Child("Grand livre 2023.qmkx");
    EXPECT_EQ(child.Name(), "Grand livre 2023.qmkx");
    EXPECT_FALSE(child.Exists());
    EXPECT_EQ(child.Parent().AbsolutePath(), folder.AbsolutePath());
    dir.write("Grand livre 2023.qmkx", "x");
    EXPECT_TRUE(child.Exists());
    EXPECT_EQ(GetFolderItem(child.AbsolutePath()), FolderItem(child.AbsolutePath()));
    EXPECT_TRUE(folder.IsFolder());
    EXPECT_FALSE(child.IsFolder());
}

TEST(FolderItemTest, TypeAndCreatorLiveInTheFinderInfoAttribute) {
    TempDir dir;
    auto p = dir.write("doc", "data");
    if (!xattrsWork(p))
        GTEST_SKIP() << dir.path()
                     << " keeps no user extended attributes, so no type and creator codes; "
                        "set QMK_TEST_TMPDIR to a folder that does";
    FolderItem f(p);
    EXPECT_EQ(f.MacType(), "");
    EXPECT_EQ(f.MacCreator(), "");

    // Bytes 8..31 of an existing FinderInfo (flags, location) are kept.
    std::string info(32, '\0');
    info.replace(0, 8, "TEXTttxt");
    info[8] = '\x40';
    info[31] = '\x07';
    ASSERT_EQ(setxattr(p.c_str(), FolderItem::FinderInfoAttribute(), info.data(), 32, 0), 0);
    EXPECT_EQ(f.MacType(), "TEXT");
    EXPECT_EQ(f.MacCreator(), "ttxt");

    ASSERT_TRUE(f.SetMacTypeAndCreator("QMKP", "QMKP"));
    char back[32];
    ASSERT_EQ(getxattr(p.c_str(), FolderItem::FinderInfoAttribute(), back, 32), 32);
    EXPECT_EQ(std::string(back, 8), "QMKPQMKP");
    EXPECT_EQ(back[8], '\x40');
    EXPECT_EQ(back[31], '\x07');

    ASSERT_TRUE(f.SetMacCreator("QMKX"));
    EXPECT_EQ(f.MacType(), "QMKP");
    EXPECT_EQ(f.MacCreator(), "QMKX");
    EXPECT_EQ(TempDir::read(p), "data");
}

} // namespace
} // namespace qmk
