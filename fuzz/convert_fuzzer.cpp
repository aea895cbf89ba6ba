// Converts arbitrary bytes as a document, once under each creator code "",
// "QMKX" and "QMKA", with the pauses as no-ops. Besides the sanitizers it
// checks what a conversion leaves in its folder: the source unchanged and, only
// when the conversion succeeded, one complete Pro document; nothing else.
//
// The scratch folder is $QMK_FUZZ_DIR (it must keep user extended attributes),
// else a new folder under the system's temporary folder.
#include "conversion/Conversion.h"
#include "platform/Worker.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "convert_fuzzer: %s\n", what.c_str());
    std::abort();
}

fs::path scratch;

std::string readAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void convertOnce(const std::string& bytes, const std::string& creator) {
    const fs::path src = scratch / "ledger.qmkx";
    std::ofstream(src, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    qmk::FolderItem file(src);
    if (!creator.empty() && !file.SetMacTypeAndCreator("TEXT", creator))
        fault("the scratch folder keeps no creator codes: " + scratch.string());

    qmk::InstantPacer pacer;
    qmk::ScopedPacer scoped(pacer);
    qmk::ConversionHandoff s;
    s.setFileToConvert(file);
    qmk::convertThread_Run(s, {});

    if (!s.converted.load())
        fault("the worker body did not end");
    const auto out = s.newFile();
    if (out && !s.errorMsg().empty())
        fault("a document was written for a file that failed: " + s.errorMsg());
    if (readAll(src) != bytes)
        fault("the source changed");
    for (const auto& e : fs::directory_iterator(scratch)) {
        const fs::path p = e.path();
        if (p == src)
            continue;
        if (!out || p != out->path())
            fault("left behind: " + p.string());
        const auto size = fs::file_size(p);
        if (size < 129820 || (size - 129820) % 128 != 0)
            fault("a document of " + std::to_string(size) + " bytes");
        if (out->MacType() != "QMKP" || out->MacCreator() != "QMKP")
            fault("a document without the Pro codes");
    }
    if (out)
        fs::remove(out->path());
    fs::remove(src);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* dir = std::getenv("QMK_FUZZ_DIR")) {
        scratch = dir;
    } else {
        std::string tmpl = (fs::temp_directory_path() / "qmk-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            fault("no scratch folder");
        scratch = tmpl;
    }
    fs::create_directories(scratch);
    if (!fs::is_empty(scratch))
        fault("the scratch folder is not empty: " + scratch.string());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const char* creator : {"", "QMKX", "QMKA"})
        convertOnce(bytes, creator);
    return 0;
}
