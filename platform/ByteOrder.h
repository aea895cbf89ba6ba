// Byte order: the one rule by which the stream, the byte buffers and the record images turn
// integers between host order and the order of a document.
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <type_traits>

namespace qmk {

// The integer with its bytes reversed. By value, so it also serves the unaligned fields of
// packed records.
template <typename T> constexpr T byteswap(T v) {
    static_assert(std::is_integral_v<T>);
    using U = std::make_unsigned_t<T>;
    U u = static_cast<U>(v), r = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        r = static_cast<U>((r << 8) | (u & 0xFF));
        u = static_cast<U>(u >> 8);
    }
    return static_cast<T>(r);
}

// A host-order integer as held in the given byte order, and back: the same reversal, or none.
template <typename T> constexpr T inByteOrder(T v, bool littleEndian) {
    return littleEndian == (std::endian::native == std::endian::little) ? v : byteswap(v);
}

// The integer held at `bytes` in the given byte order.
template <typename T> T loadInt(const void* bytes, bool littleEndian) {
    T v;
    std::memcpy(&v, bytes, sizeof v);
    return inByteOrder(v, littleEndian);
}

// Puts the integer at `bytes` in the given byte order.
template <typename T> void storeInt(void* bytes, T v, bool littleEndian) {
    v = inByteOrder(v, littleEndian);
    std::memcpy(bytes, &v, sizeof v);
}

} // namespace qmk
