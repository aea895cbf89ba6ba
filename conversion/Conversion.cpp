#include "conversion/Conversion.h"

#include "model/Globals.h"
#include "platform/Errors.h"
#include "platform/Worker.h"
#include "reader/Reader.h"
#include "writer/Writer.h"

#include <cerrno>
#include <new>
#include <string>
#include <string_view>
#include <unistd.h>

namespace qmk {

namespace {

constexpr int kSavePauseMs = 250;

bool isOneOf(int64_t v, std::initializer_list<int64_t> values) {
    for (int64_t x : values)
        if (v == x)
            return true;
    return false;
}

void saveSteps(ConversionDocument& d, ConversionHandoff& h) {
    save(d, h);
    Pause(kSavePauseMs);
    h.newStatus(Globals::kConverted());
    Pause(kSavePauseMs);
    if (d.fileBS)
        d.fileBS->Close();
    d.qmkaVrs.reset();
    h.setTitle(Globals::kAppTitle);
}

void fail(ConversionHandoff& h, const std::string& cause) {
    h.refuse(Globals::kConversionFailed() + cause, Globals::kAppTitle);
}

// A failure the program did not foresee: the user's row says so in French, and
// the library's own text goes to the standard error output for a bug report, as
// one line in one write, so that lines of two threads never mix.
void reportInternalError(const char* kind, const std::string& path, const char* what) noexcept {
    try {
        std::string line = "quillmark-pro-converter : ";
        // A name or a text with a line break in it still makes one line.
        auto add = [&line](std::string_view text) {
            for (char c : text)
                line += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
        };
        line += kind;
        line += " en convertissant ";
        add(path.empty() ? std::string_view("(aucun fichier)") : std::string_view(path));
        if (what) {
            line += " : ";
            add(what);
        }
        line += '\n';
        for (size_t done = 0; done < line.size();) {
            const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    } catch (...) {
        // Out of memory for the line: the row is filed all the same.
    }
}

} // namespace

void conversion(ConversionDocument& d, ConversionHandoff& h) {
    d.fileBS = BinaryStream::Open(d.fileToConvert, d.fileSystem);
    d.qmkaVrs = std::make_unique<VLQmkaProVersion>();
    ResetQmkaVersion(d);
    d.version = d.fileBS->ReadInt16();

    const int64_t v = d.version;
    if (isOneOf(v, {6200, 6201, 6205})) {
        h.refuse(Globals::kVersionPro(), Globals::kAppTitle);
        return;
    }
    if (isOneOf(v, {4000, 4001, 4005}))
        ReadQuillmarkXDoc(d, h);
    else if (isOneOf(v, {3200, 3201, 3205}))
        ReadQuillmark32Doc(d, h);
    else if (v == 3206)
        QM32ProreadQmkaVrs(h);
    else if (v == 1)
        QMClassicreadQmkaVrs(h);
    else if (isOneOf(v, {3000, 3005}))
        QM30readQmkaVrs(h);
    else if (v == 2000)
        QM21readQmkaVrs(h);
    else if (v == 1900)
        QM19readQmkaVrs(h);
    else {
        // Fetched once, and only here, from the file opened; compared exactly,
        // letter case included.
        const std::string creator = d.fileBS->MacCreator();
        if (creator == "QMKX" || creator == "QMK5" || creator == "QMKG") {
            ReadQuillmarkXDoc(d, h);
        } else if (creator != "QMKA") {
            h.refuse(Globals::kUnknownFileType() + " (v. " + std::to_string(v) + ")",
                     Globals::kAppTitle);
            return;
        }
    }
    saveSteps(d, h);
}

void convertThread_Run(ConversionHandoff& h, const std::function<void()>& startTimer,
                       const ConversionStep& step, FileSystem& fs) {
    // Test and clear in one step: a second start never runs a second body.
    auto run = h.beginBody();
    if (!run)
        return;
    if (startTimer)
        startTimer();
    std::string path; // for the report of an internal error
    // Nothing may escape the worker's top: a failure is filed for the file and
    // the batch goes on.
    try {
        if (!run->file())
            throw ConversionError("aucun fichier à convertir");
        path = run->file()->path().string();
        // The document lives for this run only; the source (or an abandoned
        // output) is released with it however the run ends.
        ConversionDocument d(*run->file(), fs);
        step(d, h);
    } catch (const ConversionCancelled&) {
        // The program quits: no message, and the batch must not go on.
        return;
    } catch (const ConversionError& e) {
        fail(h, e.what());
    } catch (const std::bad_alloc&) {
        fail(h, "mémoire insuffisante");
    } catch (const std::exception& e) {
        reportInternalError("erreur interne", path, e.what());
        fail(h, "erreur interne");
    } catch (...) {
        reportInternalError("erreur inconnue", path, nullptr);
        fail(h, "erreur inconnue");
    }
    run->finish();
}

} // namespace qmk
