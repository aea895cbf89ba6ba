#include "platform/FileType.h"

#include <mutex>

namespace qmk {

namespace {
std::mutex m;
std::vector<FileType>& registry() {
    static std::vector<FileType> r;
    return r;
}
} // namespace

void RegisterFileType(const FileType& t) {
    std::lock_guard<std::mutex> lock(m);
    for (const auto& e : registry())
        if (e.Name == t.Name)
            return;
    registry().push_back(t);
}

std::vector<FileType> RegisteredFileTypes() {
    std::lock_guard<std::mutex> lock(m);
    return registry();
}

} // namespace qmk
