#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <stdexcept>
#include <string_view>

namespace qmk {

namespace {

const char* charsetName(TextEncoding e) {
    switch (e) {
    case TextEncoding::UTF8:
        return "UTF-8";
    case TextEncoding::MacRoman:
        return "MACINTOSH";
    case TextEncoding::None:
        break;
    }
    return nullptr;
}

// An open conversion handle, closed however the conversion ends.
class IconvHandle {
  public:
    IconvHandle(const char* from, const char* to) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("conversion de texte indisponible : ") + from +
                                     " vers " + to);
    }
    ~IconvHandle() { iconv_close(cd_); }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

std::string iconvConvert(const std::string& in, const char* from, const char* to) {
    IconvHandle cd(from, to);
    std::string out;
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[256];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // Invalid or unmappable input: one '?' for the offending character, then go on.
            out.push_back('?');
            size_t skip = 1;
            if (std::string_view(from) == "UTF-8")
                skip =
                    std::clamp<size_t>(Utf8SequenceLength(static_cast<uint8_t>(*src)), 1, srcLeft);
            src += skip;
            srcLeft -= skip;
        }
    }
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(cd.get(), nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, dst - buf);
    return out;
}

} // namespace

String ConvertEncoding(const String& s, TextEncoding to) {
    if (s.encoding == to || s.encoding == TextEncoding::None || to == TextEncoding::None)
        return String(s.bytes, to);
    return String(iconvConvert(s.bytes, charsetName(s.encoding), charsetName(to)), to);
}

String DefineEncoding(std::string bytes, TextEncoding e) {
    return String(std::move(bytes), e);
}

String Chr(uint32_t c) {
    std::string b;
    if (c < 0x80) {
        b.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        b.push_back(static_cast<char>(0xC0 | (c >> 6)));
        b.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        b.push_back(static_cast<char>(0xE0 | (c >> 12)));
        b.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        b.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        b.push_back(static_cast<char>(0xF0 | (c >> 18)));
        b.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        b.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        b.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return String(std::move(b), TextEncoding::UTF8);
}

uint32_t Asc(const String& s) {
    if (s.bytes.empty())
        return 0;
    auto u = [&](size_t i) { return static_cast<uint8_t>(s.bytes[i]); };
    uint8_t b0 = u(0);
    if (s.encoding != TextEncoding::UTF8 || b0 < 0x80)
        return b0;
    const size_t n = Utf8SequenceLength(b0);
    if (n < 2 || s.bytes.size() < n)
        return b0;
    uint32_t c = b0 & (0x7F >> n);
    for (size_t i = 1; i < n; ++i)
        c = (c << 6) | (u(i) & 0x3F);
    return c;
}

} // namespace qmk
