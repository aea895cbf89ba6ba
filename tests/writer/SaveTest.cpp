#include "model/Globals.h"
#include "support/FaultyFileSystem.h"
#include "writer/Writer.h"
#include "writer/WriterSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

namespace qmk {
namespace {

using Names = std::set<std::string>;

TEST(NameWithoutExtensionTest, CutsAfterTheLastDotUnlessItIsTheFirstCharacter) {
    struct Case {
        const char* name;
        const char* base;
    };
    for (const Case& c : {Case{"ledger.qmkx", "ledger"}, Case{"ledger", "ledger"},
                          Case{"ledger.2019.qmkx", "ledger.2019"}, Case{".ledger", ".ledger"},
                          Case{".ledger.old", ".ledger"}, Case{"ledger.", "ledger"},
                          Case{"compta été.qmk", "compta été"}})
        EXPECT_EQ(NameWithoutExtension(FolderItem(std::filesystem::path("/x") / c.name)), c.base)
            << c.name;
}

TEST(QuillProDocTest, IsTheProFileType) {
    VLQmka::Initialize();
    const FileType& t = VLQmka::QuillProDoc();
    EXPECT_EQ(t.Name, "Quillmark Pro");
    EXPECT_EQ(t.Extensions, ".qmkp");
    EXPECT_EQ(t.MacType, "QMKP");
    EXPECT_EQ(t.MacCreator, "QMKP");
    EXPECT_TRUE(t.MimeType.empty());
    EXPECT_TRUE(t.Imported);
    ASSERT_EQ(VLQmka::pAllFileTypes().size(), 1u);
    VLQmka::Initialize();
    EXPECT_EQ(VLQmka::pAllFileTypes().size(), 1u);
}

class SaveTest : public test::DocFolderTest {
  protected:
    // The real file system, where a test asks for faults or meddles.
    test::FaultyFileSystem faulty{RealFileSystem()};

    // A document on the file, opened, with the working header defaults and one entry.
    std::unique_ptr<ConversionDocument> document(const FolderItem& file) {
        auto d = std::make_unique<ConversionDocument>(file, faulty);
        d->fileBS = BinaryStream::Open(file, faulty);
        d->qmkaVrs = std::make_unique<VLQmkaProVersion>();
        test::applyWorkingDefaults(*d->qmkaVrs);
        d->qmkaVrs->maxEcrCount = 1;
        return d;
    }
    std::unique_ptr<ConversionDocument> document(const std::filesystem::path& p) {
        return document(FolderItem(p));
    }
};

TEST_F(SaveTest, TakesTheFirstFreeNameAndLeavesTakenOnesAlone) {
    QMK_REQUIRE_CODES(dir.path());
    struct Case {
        const char* label;
        std::vector<std::string> taken;
        const char* want;
    };
    std::vector<std::string> upTo10 = {"ledger.qmkp"};
    for (int i = 1; i <= 10; ++i)
        upTo10.push_back("ledger_" + std::to_string(i) + ".qmkp");
    const Case cases[] = {
        {"free", {}, "ledger.qmkp"},
        {"two taken", {"ledger.qmkp", "ledger_1.qmkp"}, "ledger_2.qmkp"},
        {"a gap", {"ledger.qmkp", "ledger_2.qmkp"}, "ledger_1.qmkp"},
        {"past nine", upTo10, "ledger_11.qmkp"},
        {"other names only", {"ledger.qmkx.qmkp", "Ledger.qmkp"}, "ledger.qmkp"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        // A folder of its own per case.
        const auto folder = dir.path() / ("case" + std::to_string(n++));
        std::filesystem::create_directory(folder);
        auto file = [&](const std::string& name) { return FolderItem(folder / name); };
        auto put = [&](const std::string& name, const std::string& bytes) {
            std::ofstream(folder / name, std::ios::binary) << bytes;
        };
        put("ledger.qmkx", "legacy bytes");
        auto d = document(file("ledger.qmkx"));
        for (const auto& t : c.taken) {
            put(t, "keep " + t);
            file(t).SetMacTypeAndCreator("ABCD", "WXYZ");
        }
        save(*d, h);

        ASSERT_TRUE(h.newFile());
        EXPECT_EQ(h.newFile()->Name(), c.want);
        Names want = {"ledger.qmkx", c.want};
        want.insert(c.taken.begin(), c.taken.end());
        Names got;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            got.insert(e.path().filename().string());
        EXPECT_EQ(got, want) << "no temporary file may stay behind";
        for (const auto& t : c.taken) {
            EXPECT_EQ(test::TempDir::read(folder / t), "keep " + t);
            EXPECT_EQ(file(t).MacCreator(), "WXYZ");
        }
        EXPECT_EQ(h.newFile()->MacType(), "QMKP");
        EXPECT_EQ(h.newFile()->MacCreator(), "QMKP");
        EXPECT_EQ(test::TempDir::read(folder / "ledger.qmkx"), "legacy bytes");
    }
}

TEST_F(SaveTest, ASourceNamedLikeItsOutputIsNeverOverwritten) {
    auto d = document(source("ledger.qmkp", "legacy bytes"));
    save(*d, h);
    EXPECT_EQ(h.newFile()->Name(), "ledger_1.qmkp");
    EXPECT_EQ(read("ledger.qmkp"), "legacy bytes");
    EXPECT_EQ(names(), (Names{"ledger.qmkp", "ledger_1.qmkp"}));
}

TEST_F(SaveTest, ANameTakenAfterTheChoiceIsPassedOver) {
    auto d = document(source("ledger.qmkx", "legacy bytes"));
    // Another program creates ledger.qmkp while the document is being written.
    bool created = false;
    faulty.setHook([&](test::FsOp op, const std::string& name) {
        if (op == test::FsOp::LinkUnnamed && name == "ledger.qmkp" && !created) {
            created = true;
            dir.write("ledger.qmkp", "someone else's");
        }
        return 0;
    });
    save(*d, h);
    EXPECT_TRUE(created);
    EXPECT_EQ(h.newFile()->Name(), "ledger_1.qmkp");
    EXPECT_EQ(read("ledger.qmkp"), "someone else's");
    EXPECT_EQ(names(), (Names{"ledger.qmkx", "ledger.qmkp", "ledger_1.qmkp"}));
}

// Where the file system has no unnamed files (EOPNOTSUPP, or EISDIR from a
// kernel older than them), a hidden temporary file is written and renamed (or,
// without the no-replace rename, linked and removed): the same document under
// the same free name, and nothing else left behind, also when another program
// takes the name meanwhile. On every road the folder is synced once the
// document has its name, so that the name itself reaches the disk.
TEST_F(SaveTest, EveryRoadPublishesTheSameDocumentAndThenSyncsTheFolder) {
    QMK_REQUIRE_CODES(dir.path());
    auto plain = document(source("plain.qmkx", "legacy bytes"));
    save(*plain, h);
    const std::string want = read("plain.qmkp");

    struct Case {
        const char* label;
        int unnamed; // what the unnamed file gives: 0, or the errno refusing it
        bool rename; // the no-replace rename works
        bool intruder;
        const char* name;
    };
    for (const Case& c : {Case{"unnamed", 0, true, false, "ledger.qmkp"},
                          Case{"unnamed, name taken", 0, true, true, "ledger_1.qmkp"},
                          Case{"rename", EOPNOTSUPP, true, false, "ledger.qmkp"},
                          Case{"rename, name taken", EOPNOTSUPP, true, true, "ledger_1.qmkp"},
                          Case{"rename, older kernel", EISDIR, true, false, "ledger.qmkp"},
                          Case{"link", EOPNOTSUPP, false, false, "ledger.qmkp"},
                          Case{"link, name taken", EOPNOTSUPP, false, true, "ledger_1.qmkp"},
                          Case{"link, older kernel", EISDIR, false, false, "ledger.qmkp"}}) {
        SCOPED_TRACE(c.label);
        const auto folder = dir.path() / c.label;
        std::filesystem::create_directory(folder);
        std::ofstream(folder / "ledger.qmkx") << "legacy bytes";
        std::vector<std::string> seen;
        faulty.setHook([&](test::FsOp op, const std::string& name) {
            seen.push_back(test::opName(op));
            if (op == test::FsOp::CreateUnnamed)
                return c.unnamed;
            if (op == test::FsOp::RenameNoReplace && !c.rename)
                return EINVAL;
            const bool naming = op == test::FsOp::LinkUnnamed ||
                                op == test::FsOp::RenameNoReplace || op == test::FsOp::Link;
            if (naming && c.intruder && name == "ledger.qmkp" &&
                !std::filesystem::exists(folder / name))
                std::ofstream(folder / name) << "someone else's";
            return 0;
        });
        auto d = document(FolderItem(folder / "ledger.qmkx"));
        save(*d, h);
        faulty.setHook({});

        EXPECT_EQ(h.newFile()->Name(), c.name);
        Names got;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            got.insert(e.path().filename().string());
        Names expected = {"ledger.qmkx", c.name};
        if (c.intruder)
            expected.insert("ledger.qmkp");
        EXPECT_EQ(got, expected) << "no temporary file may stay behind";
        EXPECT_TRUE(test::TempDir::read(folder / c.name) == want);
        EXPECT_EQ(h.newFile()->MacCreator(), "QMKP");
        if (c.intruder) {
            EXPECT_EQ(test::TempDir::read(folder / "ledger.qmkp"), "someone else's");
        }
        auto count = [&](const char* op) { return std::count(seen.begin(), seen.end(), op); };
        const char* road = !c.unnamed ? "LinkUnnamed" : c.rename ? "RenameNoReplace" : "Link";
        EXPECT_EQ(count(road), c.intruder ? 2 : 1) << "the road taken";
        EXPECT_EQ(count("CreateNew"), c.unnamed ? 1 : 0);
        // The last naming step (for the link, the temporary's removal), then the folder.
        const auto named = std::find(seen.rbegin(), seen.rend(), c.rename ? road : "Unlink");
        ASSERT_NE(named, seen.rend());
        EXPECT_EQ(count("SyncFolder"), 1);
        EXPECT_NE(std::find(seen.rbegin(), named, std::string("SyncFolder")), named)
            << "the folder is synced after the document is named";
    }
}

// A disk that keeps no type and creator codes refuses them, as ENOTSUP or, on
// some file systems, EPERM: the document is written without codes, not failed.
TEST_F(SaveTest, CodesTheDiskRefusesLeaveADocumentWithoutCodes) {
    int n = 0;
    for (int refusal : {ENOTSUP, EOPNOTSUPP, EPERM}) {
        SCOPED_TRACE(std::strerror(refusal));
        const auto folder = dir.path() / ("case" + std::to_string(n++));
        std::filesystem::create_directory(folder);
        std::ofstream(folder / "ledger.qmkx") << "legacy bytes";
        faulty.setHook([&](test::FsOp op, const std::string&) {
            return op == test::FsOp::WriteCodes ? refusal : 0;
        });
        auto d = document(FolderItem(folder / "ledger.qmkx"));
        save(*d, h);
        faulty.setHook({});

        ASSERT_TRUE(h.newFile());
        EXPECT_EQ(h.newFile()->path(), folder / "ledger.qmkp");
        EXPECT_EQ(std::filesystem::file_size(folder / "ledger.qmkp"), test::pro::documentSize(1));
        EXPECT_EQ(h.newFile()->MacType(), "");
        EXPECT_EQ(h.newFile()->MacCreator(), "");
    }
}

// The user moves the folder while its document is written: the document is
// finished and named in the folder where it now is, and nothing is left behind
// (the folder is held open, not found again by its old path).
TEST_F(SaveTest, AFolderMovedMidSaveGetsItsDocumentAndNothingElse) {
    for (bool fallback : {false, true}) {
        SCOPED_TRACE(fallback ? "fallback" : "unnamed file");
        const auto before = dir.path() / "Compta";
        const auto after = dir.path() / (fallback ? "Moved-fallback" : "Moved");
        std::filesystem::create_directory(before);
        std::ofstream(before / "ledger.qmkx") << "legacy bytes";
        int writes = 0;
        faulty.setHook([&](test::FsOp op, const std::string& what) {
            if (fallback)
                if (int e = test::withoutUnnamedFilesOrNoReplaceRename(op, what))
                    return e;
            if (op == test::FsOp::Write && ++writes == 100)
                std::filesystem::rename(before, after);
            return 0;
        });
        auto d = document(FolderItem(before / "ledger.qmkx"));
        save(*d, h);
        faulty.setHook({});

        EXPECT_GE(writes, 100);
        EXPECT_FALSE(std::filesystem::exists(before));
        Names got;
        for (const auto& e : std::filesystem::directory_iterator(after))
            got.insert(e.path().filename().string());
        EXPECT_EQ(got, (Names{"ledger.qmkx", "ledger.qmkp"}));
        EXPECT_EQ(std::filesystem::file_size(after / "ledger.qmkp"), 129820u + 128u);
    }
}

TEST_F(SaveTest, PostsItsStatusAndLeavesTheClosedOutputInFileBS) {
    auto d = document(source("ledger.qmkx", "legacy bytes"));
    save(*d, h);
    EXPECT_EQ(h.status(), Globals::kStatusSave());
    ASSERT_TRUE(d->fileBS);
    EXPECT_FALSE(d->fileBS->IsOpen());
    EXPECT_EQ(h.newFile()->Name(), "ledger.qmkp");
    EXPECT_EQ(std::filesystem::file_size(h.newFile()->path()), test::pro::documentSize(1));
}

} // namespace
} // namespace qmk
