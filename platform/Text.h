// Texts as the document road sees them: bytes tagged with the encoding they are in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qmk {

enum class TextEncoding { None, UTF8, MacRoman };

struct String {
    std::string bytes;
    TextEncoding encoding = TextEncoding::None;

    String() = default;
    String(std::string b, TextEncoding e) : bytes(std::move(b)), encoding(e) {}
    // A literal of the program's own is UTF-8.
    String(const char* utf8) : bytes(utf8), encoding(TextEncoding::UTF8) {}
    explicit String(std::string utf8) : bytes(std::move(utf8)), encoding(TextEncoding::UTF8) {}

    size_t LenB() const { return bytes.size(); }
    bool empty() const { return bytes.empty(); }
    // Same text: same bytes. The tag does not change what a document holds.
    bool operator==(const String& o) const { return bytes == o.bytes; }
};

// Re-encodes the text into `to`. Texts without an encoding are only tagged.
// Characters that the target cannot hold become '?'.
String ConvertEncoding(const String& s, TextEncoding to);
// Tags the bytes with an encoding, unchanged.
String DefineEncoding(std::string bytes, TextEncoding e);

// Bytes in the UTF-8 sequence that `byte` leads: 1 for ASCII, 2 to 4 for a lead byte, and 0 for
// a continuation byte (10xxxxxx), which starts no character.
constexpr size_t Utf8SequenceLength(uint8_t byte) {
    return byte < 0x80 ? 1 : byte < 0xC0 ? 0 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
}

// The one-character text of a character code (UTF-8).
String Chr(uint32_t code);
// The code of the first character: a code point for UTF-8, the first byte otherwise; 0 if empty.
uint32_t Asc(const String& s);

} // namespace qmk
