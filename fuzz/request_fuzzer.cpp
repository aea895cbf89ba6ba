// Reads arbitrary bytes as a hand-over request, as the running program takes them
// from a launch: in one piece, byte by byte, and in pieces whose lengths the
// input gives. Its first byte n says how: the low four bits are how many bytes
// after it give the lengths of the pieces (0 to 255, used in turn; none, or only
// zeros, is one piece), and the request is what follows them. Besides the
// sanitizers it checks:
// - the states a reader goes through: bad for good once bad, bad as soon as a
//   byte follows a complete request, and the same whatever the pieces;
// - that nothing beyond a bound is ever taken: no more names or bytes than a
//   part or a request holds, each name absolute, of 1 to kMaxNameBytes bytes
//   and without a zero byte;
// - that each part of a complete request, its names encoded again, gives back
//   the bytes it came as (mark aside: the encoder writes a last part), that the
//   encoder takes the names of the whole request and that they read back as
//   they were.
#include "app/HandOverRequest.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using qmk::RequestReader;
using State = RequestReader::State;

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "request_fuzzer: %s\n", what.c_str());
    std::abort();
}

const char* nameOf(State s) {
    switch (s) {
    case State::Reading:
        return "reading";
    case State::Complete:
        return "complete";
    case State::Bad:
        return "bad";
    }
    return "?";
}

// One reader, each of whose steps is checked against the one before.
class CheckedReader {
  public:
    State take(const char* p, qsizetype n) {
        const State before = reader_.state();
        const int partsBefore = reader_.parts();
        const State after = reader_.take(p, n);
        if (after != reader_.state())
            fault("take() said otherwise than state()");
        const State expected = before == State::Bad        ? State::Bad
                               : before == State::Complete ? (n > 0 ? State::Bad : State::Complete)
                                                           : after;
        if (after != expected)
            fault(std::string(nameOf(before)) + ", then " + nameOf(after) + " after " +
                  std::to_string(n) + " bytes");
        if (reader_.parts() < partsBefore ||
            (before != State::Reading && reader_.parts() != partsBefore))
            fault("the count of parts went back, or on after the end");
        return after;
    }
    RequestReader& reader() { return reader_; }

  private:
    RequestReader reader_;
};

struct Outcome {
    State state;
    int parts;
    QByteArrayList names;
};

Outcome finish(RequestReader& reader) {
    const State state = reader.state();
    const int parts = reader.parts();
    return {state, parts, reader.takeNames()};
}

void same(const Outcome& a, const Outcome& b, const char* how) {
    if (a.state != b.state || a.parts != b.parts || a.names != b.names)
        fault(std::string("read ") + how + ": " + nameOf(b.state) + ", " + std::to_string(b.parts) +
              " parts, " + std::to_string(b.names.size()) +
              " names; in one piece: " + nameOf(a.state) + ", " + std::to_string(a.parts) +
              " parts, " + std::to_string(a.names.size()) + " names");
}

// A name as C escapes, for a report.
std::string shown(const QByteArray& name) {
    std::string s;
    for (char c : name) {
        char b[5];
        std::snprintf(b, sizeof b, c >= 0x20 && c < 0x7f && c != '\\' ? "%c" : "\\x%02x",
                      unsigned(quint8(c)));
        s += b;
    }
    return s;
}

quint32 be32At(const QByteArray& b, qsizetype at) {
    const auto u = [&](qsizetype i) { return quint32(quint8(b[at + i])); };
    return u(0) << 24 | u(1) << 16 | u(2) << 8 | u(3);
}

// Whatever the reader holds, complete or not, is within the bounds.
void withinBounds(const QByteArrayList& names) {
    if (names.size() > qmk::kMaxRequestNames)
        fault(std::to_string(names.size()) + " names");
    for (const QByteArray& n : names)
        if (n.isEmpty() || n.size() > qsizetype(qmk::kMaxNameBytes) || !n.startsWith('/') ||
            n.contains('\0'))
            fault("a name taken: \"" + shown(n) + "\"");
}

// The bytes of a complete request, its names and where each of its parts ends.
void encodesBack(const QByteArray& bytes, const QByteArrayList& names,
                 const std::vector<qsizetype>& partEnds) {
    if (bytes.size() > qmk::kMaxRequestBytes)
        fault("a request of " + std::to_string(bytes.size()) + " bytes");
    qsizetype start = 0, from = 0;
    for (size_t i = 0; i < partEnds.size(); ++i) {
        const qsizetype end = partEnds[i];
        const bool last = i + 1 == partEnds.size();
        if (end - start < 8 || end - start > qmk::kMaxPartBytes)
            fault("a part of " + std::to_string(end - start) + " bytes");
        const QByteArray mark = bytes.mid(start, 4);
        if (mark != QByteArray(last ? "QMK2" : "QMK+"))
            fault("part " + std::to_string(i) + " of " + std::to_string(partEnds.size()) +
                  " marked " + mark.toStdString());
        const quint32 count = be32At(bytes, start + 4);
        if (count > qmk::kMaxPartNames || from + qsizetype(count) > names.size())
            fault("part " + std::to_string(i) + " counts " + std::to_string(count) + " names");
        const std::optional<QByteArrayList> again = qmk::encodeRequest(names.mid(from, count));
        if (!again || again->size() != 1)
            fault("part " + std::to_string(i) + " is not one part once encoded again");
        if (again->first().left(4) != "QMK2" ||
            again->first().mid(4) != bytes.mid(start + 4, end - start - 4))
            fault("part " + std::to_string(i) + " encoded again differs");
        from += count;
        start = end;
    }
    if (from != names.size())
        fault("the parts count " + std::to_string(from) + " names of " +
              std::to_string(names.size()));

    const std::optional<QByteArrayList> whole = qmk::encodeRequest(names);
    if (!whole)
        fault("the encoder refuses the names of a complete request");
    RequestReader reader;
    for (const QByteArray& part : *whole)
        reader.take(part.constData(), part.size());
    if (reader.state() != State::Complete || reader.takeNames() != names)
        fault("the names encoded again read back otherwise");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype splits = std::min<qsizetype>(input[0] & 0x0f, input.size() - 1);
    std::vector<qsizetype> lengths;
    for (qsizetype i = 1; i <= splits; ++i)
        lengths.push_back(quint8(input[i]));
    const QByteArray bytes = input.mid(1 + splits);
    const char* p = bytes.constData();

    CheckedReader whole;
    whole.take(p, bytes.size());
    const Outcome one = finish(whole.reader());

    CheckedReader bytewise;
    std::vector<qsizetype> partEnds;
    qsizetype completeAt = -1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int before = bytewise.reader().parts();
        if (bytewise.take(p + i, 1) == State::Complete)
            completeAt = i + 1;
        if (bytewise.reader().parts() != before)
            partEnds.push_back(i + 1);
    }
    same(one, finish(bytewise.reader()), "byte by byte");

    CheckedReader pieces;
    bool moved = false;
    for (qsizetype length : lengths)
        moved = moved || length > 0;
    for (qsizetype at = 0, i = 0; at < bytes.size(); ++i) {
        const qsizetype n =
            moved ? std::min(lengths[size_t(i) % lengths.size()], bytes.size() - at) : bytes.size();
        pieces.take(p + at, n);
        at += n;
    }
    same(one, finish(pieces.reader()), "in pieces");

    withinBounds(one.names);
    if (one.parts != int(partEnds.size()))
        fault("the parts ended at " + std::to_string(partEnds.size()) + " bytes, of " +
              std::to_string(one.parts));
    if (completeAt >= 0) {
        if ((one.state == State::Complete) != (completeAt == bytes.size()))
            fault("complete at " + std::to_string(completeAt) + " bytes of " +
                  std::to_string(bytes.size()) + ", and then " + nameOf(one.state));
        encodesBack(bytes.left(completeAt), one.names, partEnds);
    } else if (one.state == State::Complete) {
        fault("complete in one piece, never byte by byte");
    }
    return 0;
}
