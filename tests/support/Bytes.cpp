#include "support/Bytes.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace qmk::test {

uint64_t beAt(std::string_view image, size_t off, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | static_cast<uint8_t>(image.at(off + i));
    return v;
}

TempDir::TempDir() {
    // Under the build tree by default: /tmp may be a file system without user xattrs.
    const char* base = std::getenv("QMK_TEST_TMPDIR");
#ifdef QMK_TEST_SCRATCH_DIR
    std::filesystem::path root = base ? base : QMK_TEST_SCRATCH_DIR;
    std::filesystem::create_directories(root);
#else
    std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
#endif
    std::string tmpl = (root / "qmk-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::write(const std::string& name, std::string_view bytes) const {
    auto p = path_ / name;
    std::ofstream f(p, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write fixture " + p.string());
    return p;
}

std::string TempDir::read(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

} // namespace qmk::test
