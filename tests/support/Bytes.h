// Test fixtures: a byte image built from field values at absolute offsets, big-endian,
// and a scratch folder that removes itself.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace qmk::test {

class Bytes {
  public:
    explicit Bytes(size_t size = 0) : b_(size, '\0') {}
    Bytes& u8(size_t off, uint8_t v) {
        grow(off + 1);
        b_[off] = static_cast<char>(v);
        return *this;
    }
    Bytes& be16(size_t off, uint16_t v) { return be(off, v, 2); }
    Bytes& be32(size_t off, uint32_t v) { return be(off, v, 4); }
    Bytes& be64(size_t off, uint64_t v) { return be(off, v, 8); }
    Bytes& raw(size_t off, std::string_view s) {
        grow(off + s.size());
        b_.replace(off, s.size(), s);
        return *this;
    }
    // A length byte, then the text.
    Bytes& pstr(size_t off, std::string_view s) {
        u8(off, static_cast<uint8_t>(s.size()));
        return raw(off + 1, s);
    }
    Bytes& resize(size_t n) {
        b_.resize(n, '\0');
        return *this;
    }
    const std::string& str() const { return b_; }
    size_t size() const { return b_.size(); }

  private:
    Bytes& be(size_t off, uint64_t v, int n) {
        grow(off + n);
        for (int i = n - 1; i >= 0; --i, v >>= 8)
            b_[off + i] = static_cast<char>(v & 0xFF);
        return *this;
    }
    void grow(size_t n) {
        if (b_.size() < n)
            b_.resize(n, '\0');
    }
    std::string b_;
};

// Big-endian numbers read back from an image.
uint64_t beAt(std::string_view image, size_t off, int n);

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::string& name, std::string_view bytes) const;
    static std::string read(const std::filesystem::path& p);

  private:
    std::filesystem::path path_;
};

} // namespace qmk::test
