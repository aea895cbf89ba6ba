// Shared by the writer and conversion tests: the places in a Pro document, the working header
// defaults written out from their table, the Pro header those defaults give, and a scratch
// folder with source documents and a hand-off around them.
#pragma once

#include "model/ConversionDocument.h"
#include "model/ConversionHandoff.h"
#include "model/Layout.h"
#include "platform/Worker.h"
#include "support/Bytes.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace qmk::test {

// Where the regions and records of a Pro document lie: the writer's own layout, so that a
// test names a place rather than a number. The layout itself is held to account by the golden
// documents and the header test, which keep offsets of their own.
namespace pro = Layout::Pro;

// The header defaults that every conversion starts from (the reader's own reset).
void applyWorkingDefaults(VLQmkaProVersion& h);

// The 512 bytes of the Pro header written from those defaults alone.
std::string expectedDefaultHeader();

// True when the folder keeps user extended attributes (type and creator codes).
bool supportsCodes(const std::filesystem::path& folder);

#define QMK_REQUIRE_CODES(folder)                                                                  \
    do {                                                                                           \
        if (!::qmk::test::supportsCodes(folder))                                                   \
            GTEST_SKIP() << (folder)                                                               \
                         << " keeps no user extended attributes, so no type and creator codes; "   \
                            "set QMK_TEST_TMPDIR to a folder that does";                           \
    } while (0)

// A scratch folder with source documents, the hand-off pointed at them, and
// pauses that return at once.
class DocFolderTest : public ::testing::Test {
  protected:
    TempDir dir;
    ConversionHandoff h;
    InstantPacer pacer;
    ScopedPacer scoped{pacer};

    // Writes the source and makes it the current file of `h`.
    std::filesystem::path source(const std::string& name, const std::string& bytes,
                                 const std::string& creator = "");
    // The names in the scratch folder.
    std::set<std::string> names() const;
    std::string read(const std::string& name) const { return TempDir::read(dir.path() / name); }
};

} // namespace qmk::test
