#include "platform/BinaryStream.h"
#include "platform/MemoryFileSystem.h"
#include "support/Bytes.h"
#include "support/FaultyFileSystem.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qmk {
namespace {

using test::FsOp;
using test::TempDir;

class BinaryStreamTest : public ::testing::Test {
  protected:
    TempDir dir;
    FolderItem file(const std::string& name, std::string_view bytes) {
        return FolderItem(dir.write(name, bytes));
    }
};

TEST_F(BinaryStreamTest, ReadsBigEndianByDefaultAndLittleEndianOnRequest) {
    auto f = file("n", std::string("\x12\x34\x56\x78\x9A\xBC\xDE\xF0", 8));
    auto s = BinaryStream::Open(f);
    EXPECT_EQ(s->ReadInt16(), 0x1234);
    EXPECT_EQ(s->ReadUInt16(), 0x5678);
    EXPECT_EQ(s->ReadInt32(), static_cast<int32_t>(0x9ABCDEF0));
    s->SetPosition(0);
    s->LittleEndian = true;
    EXPECT_EQ(s->ReadUInt32(), 0x78563412u);
    s->SetPosition(0);
    s->LittleEndian = false;
    EXPECT_EQ(s->ReadInt64(), static_cast<int64_t>(0x123456789ABCDEF0ULL));
    EXPECT_EQ(s->Position(), 8);
    EXPECT_EQ(s->LastErrorCode(), 0);
}

// A read that would run past the end reads nothing: it fails with the file's
// length and the offset the read needed, and leaves the position where that read
// began (a text's length byte has been read by then).
TEST_F(BinaryStreamTest, AReadPastTheEndFailsWithTheLengthsAndMakesUpNoBytes) {
    auto s = BinaryStream::Open(file("short", "\x01\x02\x03"));
    const struct {
        const char* label;
        int64_t at;
        std::function<void(BinaryStream&)> read;
        int64_t needed, left;
    } cases[] = {
        {"number straddling the end", 1, [](BinaryStream& b) { b.ReadInt32(); }, 5, 1},
        {"raw bytes straddling the end", 1, [](BinaryStream& b) { b.Read(5); }, 6, 1},
        {"a byte at the end", 3, [](BinaryStream& b) { b.ReadBoolean(); }, 4, 3},
        {"far past the end", 1000, [](BinaryStream& b) { b.ReadInt16(); }, 1002, 1000},
        {"text longer than what is left", 2,
         [](BinaryStream& b) { b.ReadPString(TextEncoding::None); }, 6, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        s->SetPosition(c.at);
        try {
            c.read(*s);
            ADD_FAILURE() << "read past the end";
        } catch (const TruncatedDocument& e) {
            EXPECT_EQ(e.length(), 3);
            EXPECT_EQ(e.needed(), c.needed);
            EXPECT_EQ(std::string(e.what()),
                      "document tronqué (3 octets, il en faut " + std::to_string(c.needed) + ")");
        }
        EXPECT_EQ(s->Position(), c.left);
    }
    // Up to the last byte, and an empty read at the end, are reads like any other.
    s->SetPosition(1);
    EXPECT_EQ(s->ReadInt16(), 0x0203);
    EXPECT_EQ(s->Read(0), "");
    EXPECT_EQ(s->Length(), 3);
    EXPECT_NO_THROW(s->RequireLength(3));
    try {
        s->RequireLength(129692);
        ADD_FAILURE() << "a length of 3 passed for 129692";
    } catch (const TruncatedDocument& e) {
        EXPECT_EQ(std::string(e.what()), "document tronqué (3 octets, il en faut 129692)");
    }
    // French counts 0 and 1 in the singular.
    EXPECT_EQ(std::string(TruncatedDocument(0, 2).what()),
              "document tronqué (0 octet, il en faut 2)");
    EXPECT_EQ(std::string(TruncatedDocument(1, 2).what()),
              "document tronqué (1 octet, il en faut 2)");
}

TEST_F(BinaryStreamTest, BooleansAndPStrings) {
    auto s = BinaryStream::Open(file("b", std::string("\x00\x01\x7F\xFF\x03"
                                                      "abcX",
                                                      9)));
    EXPECT_FALSE(s->ReadBoolean());
    EXPECT_TRUE(s->ReadBoolean());
    EXPECT_TRUE(s->ReadBoolean());
    EXPECT_TRUE(s->ReadBoolean());
    String t = s->ReadPString(TextEncoding::MacRoman);
    EXPECT_EQ(t.bytes, "abc");
    EXPECT_EQ(t.encoding, TextEncoding::MacRoman);
    EXPECT_EQ(s->Position(), 8);
}

TEST_F(BinaryStreamTest, WritesAtPositionsAndFlushesToTheFile) {
    FolderItem out(dir.path() / "out");
    auto s = test::newFileStream(out.path());
    s->WriteInt16(6200);
    s->SetPosition(6);
    s->WriteBoolean(true);
    s->WriteUInt32(0xDEADBEEF);
    s->LittleEndian = true;
    s->WriteInt16(1);
    s->LittleEndian = false;
    s->WritePString(String("Sans titre"));
    s->Flush();
    EXPECT_EQ(TempDir::read(out.path()).size(), 24u);
    s->Close();
    s->Close(); // a second close changes nothing
    EXPECT_EQ(TempDir::read(out.path()),
              std::string("\x18\x38\0\0\0\0\x01\xDE\xAD\xBE\xEF\x01\x00\x0A", 14) + "Sans titre");
}

TEST_F(BinaryStreamTest, ANewFileNeverReplacesAnExistingOne) {
    auto existing = file("ledger.qmkp", "keep me");
    try {
        test::newFileStream(existing.path());
        FAIL() << "created over an existing file";
    } catch (const StreamError& e) {
        EXPECT_EQ(e.code(), EEXIST);
    }
    EXPECT_EQ(TempDir::read(existing.path()), "keep me");
}

TEST_F(BinaryStreamTest, FailuresCarryTheOsErrorAndThePathInFrench) {
    struct Case {
        std::string what;
        FolderItem target;
        int code;
    } cases[] = {
        {"missing file", FolderItem(dir.path() / "nope"), ENOENT},
        {"folder", FolderItem(dir.path()), EISDIR},
    };
    for (const auto& c : cases) {
        try {
            BinaryStream::Open(c.target);
            ADD_FAILURE() << c.what << ": opened";
        } catch (const StreamError& e) {
            EXPECT_EQ(e.code(), c.code) << c.what;
            EXPECT_EQ(e.op(), StreamOp::Open) << c.what;
            EXPECT_NE(std::string(e.what()).find(c.target.path().string()), std::string::npos);
            EXPECT_NE(std::string(e.what()).find("impossible d'ouvrir"), std::string::npos);
        }
    }
}

// Only a regular file is a document: the others are refused at once with a
// French cause (a FIFO without a writer would otherwise block the open for ever).
TEST_F(BinaryStreamTest, AnythingButARegularFileIsRefusedWithoutWaiting) {
    const auto fifo = dir.path() / "tube.qmkx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto sock = dir.path() / "socket.qmkx";
    const int sfd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(sfd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    const struct {
        const char* label;
        std::filesystem::path path;
        const char* cause;
    } cases[] = {
        {"folder", dir.path(), "c'est un dossier, pas un document"},
        {"FIFO", fifo, "c'est un tube nommé, pas un document"},
        {"device", "/dev/null", "c'est un périphérique, pas un document"},
        {"socket", sock, "ce n'est pas un fichier ordinaire (périphérique absent ou socket)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            BinaryStream::Open(FolderItem(c.path));
            ADD_FAILURE() << "opened";
        } catch (const StreamError& e) {
            EXPECT_EQ(e.op(), StreamOp::Open);
            EXPECT_EQ(std::string(e.what()),
                      "impossible d'ouvrir « " + c.path.string() + " » (" + c.cause + ")");
        }
    }
    ::close(sfd);
}

TEST_F(BinaryStreamTest, AFailedWriteThrowsAndSetsTheErrorCode) {
    MemoryFileSystem mem;
    test::FaultyFileSystem full(
        mem, [](FsOp op, const std::string&) { return op == FsOp::Write ? ENOSPC : 0; });
    auto s = test::newFileStream("/d/full", full);
    s->Write("abc");
    try {
        s->Flush();
        FAIL() << "flush succeeded";
    } catch (const StreamError& e) {
        EXPECT_EQ(e.code(), ENOSPC);
        EXPECT_NE(std::string(e.what()).find("plus de place sur le disque"), std::string::npos);
    }
    EXPECT_EQ(s->LastErrorCode(), ENOSPC);
}

TEST_F(BinaryStreamTest, ReadOnlyStreamRefusesWrites) {
    auto s = BinaryStream::Open(file("ro", "x"));
    EXPECT_THROW(s->WriteInt8(1), StreamError);
    EXPECT_THROW(s->SetPosition(-1), StreamError);
}

} // namespace
} // namespace qmk
