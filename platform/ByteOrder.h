// Reversal of the bytes of an integer, between host and big-endian order.
#pragma once

#include <cstddef>
#include <type_traits>

namespace qmk {

// By value, so it also serves the unaligned fields of packed records.
template <typename T> inline T byteswap(T v) {
    using U = std::make_unsigned_t<T>;
    U u = static_cast<U>(v), r = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        r = static_cast<U>((r << 8) | (u & 0xFF));
        u = static_cast<U>(u >> 8);
    }
    return static_cast<T>(r);
}

} // namespace qmk
