#include "conversion/Conversion.h"

#include "model/Globals.h"
#include "platform/Errors.h"
#include "platform/Worker.h"
#include "reader/Reader.h"
#include "writer/Writer.h"

#include <new>
#include <string>

namespace qmk {

namespace {

constexpr int kSavePauseMs = 250;

bool isOneOf(int64_t v, std::initializer_list<int64_t> values) {
    for (int64_t x : values)
        if (v == x)
            return true;
    return false;
}

void saveSteps(ConversionState& s) {
    save(s);
    Pause(kSavePauseMs);
    s.newStatus(Globals::kConverted());
    Pause(kSavePauseMs);
    if (s.fileBS)
        s.fileBS->Close();
    s.qmkaVrs.reset();
    s.setTitle(Globals::kAppTitle);
}

// The cause of a failure that did not come with a French text of its own.
std::string frenchCause(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return "mémoire insuffisante";
    return std::string("erreur interne (") + e.what() + ")";
}

void fail(ConversionState& s, const std::string& cause) {
    // Release the source (or the abandoned output) at once; the header goes too.
    s.fileBS.reset();
    s.qmkaVrs.reset();
    s.refuse(Globals::kConversionFailed() + cause, Globals::kAppTitle);
}

} // namespace

void conversion(ConversionState& s) {
    // Every file starts from empty records, whatever the previous file held.
    s.ResetRecords();

    const auto file = s.fileToConvert();
    if (!file)
        throw ConversionError("aucun fichier à convertir");
    s.fileBS = BinaryStream::Open(*file);
    s.qmkaVrs = std::make_unique<VLQmkaProVersion>();
    ResetQmkaVersion(s);
    s.version = s.fileBS->ReadInt16();

    const int64_t v = s.version;
    if (isOneOf(v, {6200, 6201, 6205})) {
        s.refuse(Globals::kVersionPro(), Globals::kAppTitle);
        return;
    }
    if (isOneOf(v, {4000, 4001, 4005}))
        ReadQuillmarkXDoc(s);
    else if (isOneOf(v, {3200, 3201, 3205}))
        ReadQuillmark32Doc(s);
    else if (v == 3206)
        QM32ProreadQmkaVrs(s);
    else if (v == 1)
        QMClassicreadQmkaVrs(s);
    else if (isOneOf(v, {3000, 3005}))
        QM30readQmkaVrs(s);
    else if (v == 2000)
        QM21readQmkaVrs(s);
    else if (v == 1900)
        QM19readQmkaVrs(s);
    else {
        // Fetched once, and only here; compared exactly, letter case included.
        const std::string creator = file->MacCreator();
        if (creator == "QMKX" || creator == "QMK5" || creator == "QMKG") {
            ReadQuillmarkXDoc(s);
        } else if (creator != "QMKA") {
            s.refuse(Globals::kUnknownFileType() + " (v. " + std::to_string(v) + ")",
                     Globals::kAppTitle);
            return;
        }
    }
    saveSteps(s);
}

void convertThread_Run(ConversionState& s, const std::function<void()>& startTimer) {
    // Test and clear in one step: a second start never runs a second body.
    bool idle = true;
    if (!s.converted.compare_exchange_strong(idle, false))
        return;
    if (startTimer)
        startTimer();
    try {
        conversion(s);
    } catch (const ConversionCancelled&) {
        // The program quits: no message, and the batch must not go on.
        s.fileBS.reset();
        s.qmkaVrs.reset();
        return;
    } catch (const ConversionError& e) {
        fail(s, e.what());
    } catch (const std::exception& e) {
        fail(s, frenchCause(e));
    } catch (...) {
        fail(s, "erreur inconnue");
    }
    s.converted = true;
}

} // namespace qmk
