// The request by which a later launch hands its files to the running program
// (see SingleInstance.h for the exchange around it). It is read and written here
// alone, and needs nothing but Qt Core, so it can be tested and fuzzed as bytes.
//
// The request, on a stream socket, is one or more parts, so that a launch may
// hand over any number of names; names are the file system's bytes, never text.
// A part:
//     mark                   4 bytes: "QMK+" when more parts follow, "QMK2" for the last
//     count                  unsigned 32-bit, big-endian, at most kMaxPartNames
//     count times:
//         length             unsigned 32-bit, big-endian, 1 to kMaxNameBytes
//         the name           `length` bytes, an absolute path without a zero byte
// A part is kMaxPartBytes at most, the whole request kMaxRequestBytes and
// kMaxRequestNames names at most; nothing comes after the last part. A request of
// few names is the last part alone. A request that breaks a bound is dropped
// unanswered as soon as the bound is broken, and nothing of it is taken.
#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <optional>

namespace qmk {

inline constexpr char kLastPartMark[4] = {'Q', 'M', 'K', '2'};
inline constexpr char kMorePartsMark[4] = {'Q', 'M', 'K', '+'};

inline constexpr quint32 kMaxPartNames = 4096;
inline constexpr quint32 kMaxNameBytes = 4096;
inline constexpr qint64 kMaxPartBytes = 4 * 1024 * 1024;
// Far more than a command line can carry.
inline constexpr qint64 kMaxRequestNames = 1000000;
inline constexpr qint64 kMaxRequestBytes = 64 * 1024 * 1024;

// A mark, a count and a length are 4 bytes each.
inline constexpr qint64 kPartHeadBytes = 8;
inline constexpr qint64 kLengthBytes = 4;
static_assert(sizeof kLastPartMark == 4 && sizeof kMorePartsMark == 4);
// The longest name fits in a part of its own, and a whole part in a request.
static_assert(kPartHeadBytes + kLengthBytes + kMaxNameBytes <= kMaxPartBytes);
static_assert(kMaxPartBytes <= kMaxRequestBytes);

// The request's parts for these names (already absolute, order kept), each as
// full as its bounds let it be; none when a name is empty, relative, holds a zero
// byte or is too long, or the whole request breaks a bound.
std::optional<QByteArrayList> encodeRequest(const QByteArrayList& names);

// Takes a request in as its bytes come, in pieces of any size: each byte is looked
// at once, and only the names so far and the field under way are held. Every
// bound is checked before the bytes it governs are taken, so a request that
// breaks one is known as soon as its count or a length has come.
class RequestReader {
  public:
    enum class State { Reading, Complete, Bad };

    // The bytes that came next; a request is bad once anything follows its end.
    State take(const char* p, qsizetype n);
    State state() const { return state_; }
    // Parts complete so far.
    int parts() const { return parts_; }
    // The names taken so far, in order.
    QByteArrayList takeNames();
    // Bytes that the names taken so far, and the one under way, hold.
    qint64 heldBytes() const { return held_.size(); }

  private:
    enum class Field { Mark, Count, Length, Name };

    void expect(Field field, quint32 bytes);
    void endWord();
    void endName();
    void nextName();

    State state_ = State::Reading;
    Field field_ = Field::Mark;
    quint32 want_ = 4, have_ = 0; // of the field under way
    char word_[4] = {};
    bool last_ = false;
    quint32 left_ = 0; // names still to come in the part
    qint64 partBytes_ = 4, requestBytes_ = 4;
    int parts_ = 0;
    // The names one after the other, each ending with a zero byte (which no name
    // holds): a name costs its bytes and one more, not an array of its own.
    QByteArray held_;
    qsizetype nameStart_ = 0; // of the name under way, in held_
    qint64 names_ = 0;        // taken so far
};

} // namespace qmk
