#include "app/HandOverRequest.h"

#include "platform/ByteOrder.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qmk {

namespace {

// Counts and lengths are 32-bit big-endian.
quint32 readBE32(const char* p) {
    return loadInt<quint32>(p, false);
}

void appendBE32(QByteArray& out, quint32 v) {
    char b[4];
    storeInt(b, v, false);
    out.append(b, 4);
}

} // namespace

std::optional<QByteArrayList> encodeRequest(const QByteArrayList& names) {
    QByteArrayList parts;
    QByteArray part;
    quint32 count = 0;
    qint64 taken = 0, bytes = 0;
    const auto close = [&](const char(&mark)[4]) {
        std::memcpy(part.data(), mark, 4);
        storeInt(part.data() + 4, count, false);
        bytes += part.size();
        parts << std::exchange(part, QByteArray());
        count = 0;
    };
    part.resize(kPartHeadBytes);
    for (const QByteArray& n : names) {
        if (!n.startsWith('/') || n.size() > qsizetype(kMaxNameBytes) || n.contains('\0') ||
            ++taken > kMaxRequestNames)
            return std::nullopt;
        if (count == kMaxPartNames || part.size() + kLengthBytes + n.size() > kMaxPartBytes) {
            close(kMorePartsMark);
            part.resize(kPartHeadBytes);
        }
        appendBE32(part, quint32(n.size()));
        part += n;
        ++count;
    }
    close(kLastPartMark);
    if (bytes > kMaxRequestBytes)
        return std::nullopt;
    return parts;
}

RequestReader::State RequestReader::take(const char* p, qsizetype n) {
    while (n > 0 && state_ == State::Reading) {
        if (field_ == Field::Name) {
            const qsizetype k = std::min(n, qsizetype(want_) - (held_.size() - nameStart_));
            // A zero byte would end the name where the names are held.
            if (std::memchr(p, '\0', size_t(k)))
                return state_ = State::Bad;
            held_.append(p, k);
            p += k;
            n -= k;
            if (held_.size() - nameStart_ == qsizetype(want_))
                endName();
        } else {
            const qsizetype k = std::min(n, qsizetype(want_ - have_));
            std::memcpy(word_ + have_, p, size_t(k));
            have_ += quint32(k);
            p += k;
            n -= k;
            if (have_ == want_)
                endWord();
        }
    }
    if (n > 0)
        state_ = State::Bad;
    return state_;
}

// The field that starts here, of `bytes` bytes: bad if it would take the part or
// the request beyond its bound.
void RequestReader::expect(Field field, quint32 bytes) {
    partBytes_ += bytes;
    requestBytes_ += bytes;
    if (partBytes_ > kMaxPartBytes || requestBytes_ > kMaxRequestBytes) {
        state_ = State::Bad;
        return;
    }
    field_ = field;
    want_ = bytes;
    have_ = 0;
}

void RequestReader::endWord() {
    switch (field_) {
    case Field::Mark:
        last_ = std::memcmp(word_, kLastPartMark, 4) == 0;
        if (!last_ && std::memcmp(word_, kMorePartsMark, 4) != 0)
            state_ = State::Bad;
        else
            expect(Field::Count, 4);
        return;
    case Field::Count:
        left_ = readBE32(word_);
        if (left_ > kMaxPartNames || names_ + qint64(left_) > kMaxRequestNames)
            state_ = State::Bad;
        else
            nextName();
        return;
    case Field::Length: {
        const quint32 length = readBE32(word_);
        if (length == 0 || length > kMaxNameBytes)
            return void(state_ = State::Bad);
        nameStart_ = held_.size();
        expect(Field::Name, length);
        return;
    }
    case Field::Name:
        return;
    }
}

void RequestReader::endName() {
    if (held_.at(nameStart_) != '/')
        return void(state_ = State::Bad);
    held_.append('\0');
    ++names_;
    --left_;
    nextName();
}

// The next name of the part, or the part's end.
void RequestReader::nextName() {
    if (left_ > 0)
        return expect(Field::Length, 4);
    ++parts_;
    if (last_)
        return void(state_ = State::Complete);
    partBytes_ = 0;
    expect(Field::Mark, 4);
}

QByteArrayList RequestReader::takeNames() {
    QByteArrayList names;
    names.reserve(qsizetype(names_));
    // Each name ends with its zero byte; a name still under way has none yet.
    const char* p = held_.constData();
    const char* const end = p + held_.size();
    while (const char* zero = static_cast<const char*>(std::memchr(p, '\0', size_t(end - p)))) {
        names << QByteArray(p, zero - p);
        p = zero + 1;
    }
    held_.clear();
    nameStart_ = 0;
    names_ = 0;
    return names;
}

} // namespace qmk
