// Converts arbitrary bytes as a document, once under each creator code "",
// "QMKX" and "QMKA", with the pauses as no-ops, on a file system in memory.
// Besides the sanitizers it checks what a conversion leaves in its folder: the
// source unchanged and, only when the conversion succeeded, one complete Pro
// document with the Pro codes; nothing else.
#include "conversion/Conversion.h"
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
    if (!source || source->bytes != bytes)
        fault("the source changed");
    for (const auto& p : fs.paths()) {
        if (p == src)
            continue;
        if (!out || p != out->path())
            fault("left behind: " + p.string());
        const auto doc = fs.find(p);
        const size_t size = doc->bytes.size();
        if (size < 129820 || (size - 129820) % 128 != 0)
            fault("a document of " + std::to_string(size) + " bytes");
        if (!doc->hasFinderInfo || std::string(doc->finderInfo.data(), 8) != "QMKPQMKP")
            fault("a document without the Pro codes");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const char* creator : {"", "QMKX", "QMKA"})
        convertOnce(bytes, creator);
    return 0;
}
