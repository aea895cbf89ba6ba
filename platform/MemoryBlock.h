// A fixed-size byte buffer with typed access at byte offsets, in the block's byte order.
// An access outside the block throws std::out_of_range.
#pragma once

#include "platform/ByteOrder.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qmk {

class MemoryBlock {
  public:
    explicit MemoryBlock(size_t size = 0) : data_(size, 0) {}
    // A block holding a copy of the given bytes.
    static MemoryBlock FromBytes(std::string_view bytes);

    bool LittleEndian = false; // big-endian unless set

    size_t Size() const { return data_.size(); }
    uint8_t* data() { return data_.data(); }
    const uint8_t* data() const { return data_.data(); }

    int16_t Int16Value(size_t off) const { return get<int16_t>(off); }
    int32_t Int32Value(size_t off) const { return get<int32_t>(off); }
    int64_t Int64Value(size_t off) const { return get<int64_t>(off); }
    uint16_t UInt16Value(size_t off) const { return get<uint16_t>(off); }
    uint32_t UInt32Value(size_t off) const { return get<uint32_t>(off); }
    uint8_t UInt8Value(size_t off) const { return get<uint8_t>(off); }
    uint8_t Byte(size_t off) const { return get<uint8_t>(off); }
    bool BooleanValue(size_t off) const { return get<uint8_t>(off) != 0; }
    std::string StringValue(size_t off, size_t len) const;

    void SetInt16Value(size_t off, int16_t v) { set(off, v); }
    void SetInt32Value(size_t off, int32_t v) { set(off, v); }
    void SetInt64Value(size_t off, int64_t v) { set(off, v); }
    void SetUInt16Value(size_t off, uint16_t v) { set(off, v); }
    void SetUInt32Value(size_t off, uint32_t v) { set(off, v); }
    void SetUInt8Value(size_t off, uint8_t v) { set(off, v); }
    void SetBooleanValue(size_t off, bool v) { set<uint8_t>(off, v ? 1 : 0); }
    // Copies the bytes in at the offset; the block must hold them.
    void SetStringValue(size_t off, std::string_view bytes);

    std::string_view bytes() const {
        return {reinterpret_cast<const char*>(data_.data()), data_.size()};
    }

  private:
    void need(size_t off, size_t n) const;
    template <typename T> T get(size_t off) const;
    template <typename T> void set(size_t off, T v);
    std::vector<uint8_t> data_;
};

template <typename T> inline T MemoryBlock::get(size_t off) const {
    need(off, sizeof(T));
    return loadInt<T>(data_.data() + off, LittleEndian);
}

template <typename T> inline void MemoryBlock::set(size_t off, T v) {
    need(off, sizeof(T));
    storeInt(data_.data() + off, v, LittleEndian);
}

} // namespace qmk
