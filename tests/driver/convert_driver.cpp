// A headless conversion of one file, in a process of its own, that stops at a
// chosen point and says so on its standard output, so that a test can kill it
// there:
//   convert_driver SOURCE [--fallback] WHERE
// WHERE is one of
//   --block-at-save-yield N   the Nth yield once the save has begun
//   --block-after-save        the first pause after the save
//   --block-in-sync           inside the document's fsync
//   --quit-in-sync            inside a slow fsync, the forced exit of the program:
//                             the temporary removed, then _Exit
// --fallback: the folder gives no unnamed files and no no-replace rename.
// It prints "blocked" (or "exiting") and waits there; without a stop it
// prints "done" and the message of the file, if any.
#include "conversion/Conversion.h"
#include "model/Globals.h"
#include "platform/InFlight.h"
#include "platform/Worker.h"
#include "support/FaultyFileSystem.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

using namespace qmk;

namespace {

[[noreturn]] void blockHere(const char* what) {
    std::printf("%s\n", what);
    std::fflush(stdout);
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

class StoppingPacer : public Pacer {
  public:
    StoppingPacer(const ConversionHandoff& h, long atYield, bool afterSave)
        : h_(h), atYield_(atYield), afterSave_(afterSave) {}
    void Sleep(int) override {
        if (afterSave_ && saving())
            blockHere("blocked");
    }
    void Yield() override {
        if (atYield_ > 0 && saving() && ++yields_ == atYield_)
            blockHere("blocked");
    }

  private:
    bool saving() const { return h_.status() == Globals::kStatusSave(); }
    const ConversionHandoff& h_;
    long atYield_;
    bool afterSave_;
    long yields_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: convert_driver SOURCE [--fallback] WHERE\n");
        return 2;
    }
    bool fallback = false, afterSave = false, inSync = false, quitInSync = false;
    long atYield = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--fallback")
            fallback = true;
        else if (a == "--block-at-save-yield" && i + 1 < argc)
            atYield = std::atol(argv[++i]);
        else if (a == "--block-after-save")
            afterSave = true;
        else if (a == "--block-in-sync")
            inSync = true;
        else if (a == "--quit-in-sync")
            quitInSync = true;
    }

    std::atomic<bool> syncing{false};
    test::FaultyFileSystem fs(RealFileSystem(), [&](test::FsOp op, const std::string& what) {
        if (fallback)
            if (int e = test::withoutUnnamedFilesOrNoReplaceRename(op, what))
                return e;
        if (op == test::FsOp::Sync && (inSync || quitInSync)) {
            if (inSync)
                blockHere("blocked");
            syncing = true;
            std::this_thread::sleep_for(std::chrono::minutes(5)); // a very slow disk
        }
        return 0;
    });

    ConversionHandoff h;
    h.setFileToConvert(FolderItem(argv[1]));
    StoppingPacer stopping(h, atYield, afterSave);
    RealPacer quitting;
    std::thread worker([&] {
        if (quitInSync) {
            ScopedPacer installed(quitting);
            convertThread_Run(h, {}, conversion, fs);
        } else {
            ScopedPacer installed(stopping);
            convertThread_Run(h, {}, conversion, fs);
        }
    });
    if (quitInSync) {
        // What the program does on a quit: the worker is told to stop, and once
        // the grace is over without it, the process ends as it is.
        while (!syncing.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        quitting.Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::printf("exiting\n");
        std::fflush(stdout);
        RemoveInFlightTemporary();
        std::_Exit(0);
    }
    worker.join();
    std::printf("done %s\n", h.errorMsg().c_str());
    return 0;
}
