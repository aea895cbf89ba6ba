#include "platform/MemoryBlock.h"

#include <cstring>
#include <stdexcept>
#include <type_traits>

namespace qmk {

MemoryBlock MemoryBlock::FromBytes(std::string_view bytes) {
    MemoryBlock m(bytes.size());
    if (!bytes.empty())
        std::memcpy(m.data_.data(), bytes.data(), bytes.size());
    return m;
}

void MemoryBlock::need(size_t off, size_t n) const {
    if (off > data_.size() || n > data_.size() - off)
        throw std::out_of_range("MemoryBlock: " + std::to_string(n) + " bytes at offset " +
                                std::to_string(off) + " outside a block of " +
                                std::to_string(data_.size()));
}

template <typename T> T MemoryBlock::get(size_t off) const {
    need(off, sizeof(T));
    using U = std::make_unsigned_t<T>;
    U u = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        size_t idx = LittleEndian ? off + sizeof(T) - 1 - i : off + i;
        u = static_cast<U>((sizeof(T) > 1 ? (u << 8) : 0) | data_[idx]);
    }
    return static_cast<T>(u);
}

template <typename T> void MemoryBlock::set(size_t off, T v) {
    need(off, sizeof(T));
    using U = std::make_unsigned_t<T>;
    U u = static_cast<U>(v);
    for (size_t i = 0; i < sizeof(T); ++i) {
        size_t idx = LittleEndian ? off + i : off + sizeof(T) - 1 - i;
        data_[idx] = static_cast<uint8_t>(u & 0xFF);
        if constexpr (sizeof(T) > 1)
            u = static_cast<U>(u >> 8);
    }
}

std::string MemoryBlock::StringValue(size_t off, size_t len) const {
    need(off, len);
    return std::string(reinterpret_cast<const char*>(data_.data()) + off, len);
}

void MemoryBlock::SetStringValue(size_t off, std::string_view bytes) {
    need(off, bytes.size());
    if (!bytes.empty())
        std::memcpy(data_.data() + off, bytes.data(), bytes.size());
}

} // namespace qmk
