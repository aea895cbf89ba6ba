// Shared set-up of the reader tests: a document opened on a legacy
// document written to a scratch folder, with pauses that never sleep and a
// fixed clock for the backup-date rule.
#pragma once

#include "model/ConversionDocument.h"
#include "model/ConversionHandoff.h"
#include "platform/Worker.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qmk::test {

// Every property of a header record as one line each, so two records compare
// as texts and a difference names its property.
std::string dumpHeader(const VLQmkaProVersion& h);
// The header and the big-endian image of every record array and list record.
std::string dumpState(const ConversionDocument& s);

// Records, at every pause, the pause and the status and title shown by then.
class SnapshotPacer : public Pacer {
  public:
    explicit SnapshotPacer(const ConversionHandoff& s) : s_(s) {}
    struct Shot {
        int ms;
        std::string status;
        std::string title;
    };
    void Sleep(int ms) override { shots.push_back({ms, s_.status(), s_.windowTitle()}); }
    void Yield() override { ++yields; }
    std::vector<Shot> shots;
    long long yields = 0;

  private:
    const ConversionHandoff& s_;
};

class ReaderTest : public ::testing::Test {
  protected:
    ReaderTest();
    ~ReaderTest() override;

    // Writes the image, opens it as the source of `st`, gives `st` a fresh header
    // with its working defaults and the version word of the image.
    void open(const std::string& image) { openInto(s, image); }
    void openInto(ConversionDocument& st, const std::string& image);

    InstantPacer pacer;
    ScopedPacer guard{pacer};
    TempDir dir;
    ConversionDocument s;
    ConversionHandoff post; // where the readers post their progress

  private:
    int files_ = 0;
};

} // namespace qmk::test
