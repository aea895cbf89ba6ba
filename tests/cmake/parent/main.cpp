// Converts the document named on the command line, without the worker's pauses.
#include "conversion/Conversion.h"
#include "platform/Worker.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    qmk::InstantPacer pacer;
    qmk::ScopedPacer scoped(pacer);
    qmk::ConversionHandoff s;
    s.setFileToConvert(qmk::FolderItem(argv[1]));
    qmk::convertThread_Run(s, {});
    if (!s.newFile() || !s.errorMsg().empty()) {
        std::fprintf(stderr, "not converted: %s\n", s.errorMsg().c_str());
        return 1;
    }
    std::printf("%s\n", s.newFile()->path().c_str());
    return 0;
}
