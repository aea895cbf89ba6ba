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
