// Converts arbitrary bytes as a document, with the pauses as no-ops, on a file
// system in memory: without a creator code, and under "QMKX" where that code
// changes the road (the version word is none of the known ones). The journal
// count of the header is kept below 256 (a negative one is left as it is): every
// count takes the same loops, the largest is converted by the tests, and a
// count in the thousands would make each run a hundred times slower. "QMKA" turns
// such a file into the same document of header defaults whatever it holds, so
// that road is converted once, at start-up. A document shorter than its reader
// takes fails at once, and the inputs nearly always are: each is converted as it
// is and padded with zeros to what a Plus / X reader takes, so that every road
// is still followed to its end. Besides the sanitizers it checks
// what a conversion leaves in its folder: the source unchanged and, only when
// the conversion succeeded, one complete Pro document with the Pro codes;
// nothing else.
#include "conversion/Conversion.h"
#include "model/Layout.h"
#include "platform/MemoryFileSystem.h"
#include "platform/Worker.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "convert_fuzzer: %s\n", what.c_str());
    std::abort();
}

const std::filesystem::path src = "/fuzz/ledger.qmkx";

void convertOnce(const std::string& bytes, const std::string& creator) {
    qmk::MemoryFileSystem fs;
    fs.put(src, bytes);
    if (!creator.empty())
        fs.setCodes(src, "TEXT", creator);

    qmk::InstantPacer pacer;
    qmk::ScopedPacer scoped(pacer);
    qmk::ConversionHandoff s;
    s.setFileToConvert(qmk::FolderItem(src));
    qmk::convertThread_Run(s, {}, qmk::conversion, fs);

    if (!s.converted.load())
        fault("the worker body did not end");
    const auto out = s.newFile();
    if (out && !s.errorMsg().empty())
        fault("a document was written for a file that failed: " + s.errorMsg());
    const auto source = fs.find(src);
    if (!source || source->contents() != bytes)
        fault("the source changed");
    for (const auto& p : fs.paths()) {
        if (p == src)
            continue;
        if (!out || p != out->path())
            fault("left behind: " + p.string());
        const auto doc = fs.find(p);
        const size_t size = doc->size;
        using namespace qmk::Layout::Pro;
        if (size < kJournal || (size - kJournal) % kEntrySize != 0)
            fault("a document of " + std::to_string(size) + " bytes");
        if (!doc->hasFinderInfo || std::string(doc->finderInfo.data(), 8) != "QMKPQMKP")
            fault("a document without the Pro codes");
    }
}

// Whether the version word picks the road whatever the creator code says.
bool knownVersionWord(const std::string& bytes) {
    const int16_t v =
        static_cast<int16_t>((static_cast<uint8_t>(bytes.size() > 0 ? bytes[0] : 0) << 8) |
                             static_cast<uint8_t>(bytes.size() > 1 ? bytes[1] : 0));
    for (int16_t w :
         {6200, 6201, 6205, 4000, 4001, 4005, 3200, 3201, 3205, 3206, 1, 3000, 3005, 2000, 1900})
        if (v == w)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    convertOnce(std::string(2, '\0'), "QMKA"); // the version word alone
    return 0;
}

// The journal count: a signed 16-bit word of the legacy header.
constexpr size_t kEntryCountAt = 8;

namespace {

// The bytes, with zeros after them up to the end of the last journal record
// their count gives (none for a negative count).
std::string padded(std::string bytes) {
    if (bytes.size() < kEntryCountAt + 2)
        bytes.resize(kEntryCountAt + 2, '\0');
    const int16_t n = static_cast<int16_t>(static_cast<uint8_t>(bytes[kEntryCountAt]) << 8 |
                                           static_cast<uint8_t>(bytes[kEntryCountAt + 1]));
    const size_t need = qmk::Layout::Legacy::plusXDocumentSize(n > 0 ? static_cast<size_t>(n) : 0);
    if (bytes.size() < need)
        bytes.resize(need, '\0');
    return bytes;
}

void convertOnBothCodes(const std::string& bytes) {
    convertOnce(bytes, "");
    if (!knownVersionWord(bytes))
        convertOnce(bytes, "QMKX");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.size() > kEntryCountAt && static_cast<uint8_t>(bytes[kEntryCountAt]) < 0x80)
        bytes[kEntryCountAt] = 0;
    const std::string full = padded(bytes);
    convertOnBothCodes(full);
    if (full.size() != bytes.size())
        convertOnBothCodes(bytes); // cut short: fails before anything is written
    return 0;
}
