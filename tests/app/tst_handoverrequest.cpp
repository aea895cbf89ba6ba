// The hand-over request as bytes: what the running program's reader makes of
// them, whatever the pieces they come in, and what a launch's encoder writes, at
// every bound. The requests are built here from their fields.
#include "app/HandOverRequest.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <functional>

using qmk::RequestReader;
using State = RequestReader::State;

Q_DECLARE_METATYPE(RequestReader::State)

namespace qmk {
char* toString(const RequestReader::State& s) {
    switch (s) {
    case RequestReader::State::Reading:
        return qstrdup("Reading");
    case RequestReader::State::Complete:
        return qstrdup("Complete");
    case RequestReader::State::Bad:
        return qstrdup("Bad");
    }
    return qstrdup("?");
}
} // namespace qmk

namespace {

// The bounds, as the running programs in the field keep them.
constexpr int kPartNames = 4096;
constexpr int kNameBytes = 4096;
constexpr qint64 kPartBytes = 4194304; // 4 MiB
constexpr int kRequestNames = 1000000;
constexpr qint64 kRequestBytes = 67108864; // 64 MiB

QByteArray be32(quint32 v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(b, 4);
}
// A part: its mark, its count (as given, whatever the names), then each name
// after its length.
QByteArray part(const char* mark, quint32 count, const QByteArrayList& names) {
    QByteArray b = mark + be32(count);
    for (const QByteArray& n : names)
        b += be32(quint32(n.size())) + n;
    return b;
}
QByteArray lastPart(const QByteArrayList& names) {
    return part("QMK2", quint32(names.size()), names);
}
QByteArray morePart(const QByteArrayList& names) {
    return part("QMK+", quint32(names.size()), names);
}

// An absolute name of `length` bytes that tells the i-th from its neighbours.
QByteArray nameOf(qsizetype length, qsizetype i = 0) {
    QByteArray n = "/" + QByteArray::number(i);
    if (n.size() > length)
        n.truncate(length);
    return n + QByteArray(length - n.size(), 'n');
}
// Names whose lengths and bytes take exactly `bytes` bytes of a part (none, or
// at least 5), in names as long as they may be.
QByteArrayList namesFilling(qint64 bytes) {
    QByteArrayList names;
    while (bytes > 0) {
        qint64 length = std::min<qint64>(kNameBytes, bytes - 4);
        const qint64 rest = bytes - 4 - length;
        if (rest > 0 && rest < 5) // leaves room for one more name
            length -= 5;
        names << nameOf(length, names.size());
        bytes -= 4 + length;
    }
    return names;
}

// A request built part by part, with where its last part starts.
struct Request {
    QByteArray bytes;
    QByteArrayList names;
    qint64 lastPartAt = 0;

    void add(const QByteArrayList& partNames, bool last) {
        lastPartAt = bytes.size();
        bytes += last ? lastPart(partNames) : morePart(partNames);
        names += partNames;
    }
};
// A request of `count` names of one byte, in parts as full as they may be.
Request requestOfNames(qint64 count) {
    Request r;
    const QByteArrayList full(kPartNames, "/");
    for (; count > kPartNames; count -= kPartNames)
        r.add(full, false);
    r.add(QByteArrayList(count, "/"), true);
    return r;
}
// A request of exactly `total` bytes, in parts of nearly the same size, none
// beyond the bound of a part.
Request requestOfBytes(qint64 total) {
    Request r;
    const qint64 parts = (total + kPartBytes - 1) / kPartBytes;
    for (qint64 i = 0; i < parts; ++i) {
        const qint64 size = total / parts + (i < total % parts ? 1 : 0);
        r.add(namesFilling(size - 8), i == parts - 1);
    }
    return r;
}

struct Result {
    State state;
    QByteArrayList names;
    int parts;
};
// Feeds the bytes to a new reader in pieces of the lengths `next` gives.
Result feed(const QByteArray& bytes, const std::function<qsizetype()>& next) {
    RequestReader reader;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype n = std::min(next(), bytes.size() - at);
        reader.take(bytes.constData() + at, n);
        at += n;
    }
    const State state = reader.state();
    const int parts = reader.parts();
    return {state, reader.takeNames(), parts};
}

} // namespace

class TestHandOverRequest : public QObject {
    Q_OBJECT

  private slots:
    // A request and what it is: its state once all of it came, its names when
    // complete, the byte at which that state is known (bytes after it change
    // nothing) and the state a byte before it: still reading, or complete when
    // what makes it bad is what follows its end.
    void reads_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<State>("state");
        QTest::addColumn<QByteArrayList>("names");
        QTest::addColumn<qint64>("knownAt");
        QTest::addColumn<State>("before");
        const auto complete = [](const char* row, const QByteArray& bytes,
                                 const QByteArrayList& names) {
            QTest::newRow(row) << bytes << State::Complete << names << qint64(bytes.size())
                               << State::Reading;
        };
        const auto bad = [](const char* row, const QByteArray& bytes, qint64 knownAt,
                            State before = State::Reading) {
            QTest::newRow(row) << bytes << State::Bad << QByteArrayList() << knownAt << before;
        };
        const QByteArray a = lastPart({"/srv/a.qmkx"});

        complete("no names", "QMK2" + be32(0), {});
        complete("one name", a, {"/srv/a.qmkx"});
        const QByteArrayList bytesNotText = {"/srv/Compta \xE9t\xE9.qmkx", "/a b/\"c\"\n\xff"};
        complete("names as bytes, not text", lastPart(bytesNotText), bytesNotText);
        complete("two parts", morePart({"/a"}) + lastPart({"/b", "/c"}), {"/a", "/b", "/c"});
        complete("an empty part before the last", morePart({}) + lastPart({"/a"}), {"/a"});
        QTest::newRow("a part with more to come, then nothing")
            << morePart({"/a"}) << State::Reading << QByteArrayList() << qint64(-1)
            << State::Reading;

        // The count of a part.
        const QByteArrayList mostNames(kPartNames, "/x");
        complete("as many names as a part holds", lastPart(mostNames), mostNames);
        bad("one name more than a part holds, known from the count",
            part("QMK2", kPartNames + 1, mostNames + QByteArrayList{"/x"}), 8);
        bad("a count of 4 billion", part("QMK2", 0xFFFFFFFF, {"/x"}), 8);
        bad("more names than counted", part("QMK2", 1, {"/a", "/b"}), 4 + 4 + 6 + 1,
            State::Complete);

        // The length of a name.
        complete("a name of one byte", lastPart({"/"}), {"/"});
        const QByteArray longest = nameOf(kNameBytes);
        complete("a name as long as may be", lastPart({longest}), {longest});
        bad("a name one byte longer, known from its length", lastPart({longest + "n"}), 4 + 4 + 4);
        bad("a name of no bytes", lastPart({"/a", ""}), 8 + 6 + 4);
        bad("a length of 4 billion", "QMK2" + be32(1) + be32(0xFFFFFFFF) + "/a", 12);

        // What a name is.
        bad("a relative name", lastPart({"srv/a.qmkx"}), 8 + 4 + 10);
        bad("a zero byte in a name, known at it", lastPart({QByteArray("/a\0b", 4)}), 8 + 4 + 3);
        bad("a zero byte ending a name", lastPart({QByteArray("/a\0", 3)}), 8 + 4 + 3);

        // The bytes of a part; each part has its own.
        const QByteArrayList fullPart = namesFilling(kPartBytes - 8);
        complete("a part as big as may be", lastPart(fullPart), fullPart);
        complete("two parts as big as may be", morePart(fullPart) + lastPart(fullPart),
                 fullPart + fullPart);
        const QByteArrayList overPart = namesFilling(kPartBytes - 8 + 1);
        const QByteArray over = lastPart(overPart);
        bad("a part one byte bigger, known from its last length", over,
            over.size() - overPart.last().size());

        // The names and bytes of a whole request.
        const Request allNames = requestOfNames(kRequestNames);
        complete("as many names as a request holds", allNames.bytes, allNames.names);
        const Request moreNames = requestOfNames(kRequestNames + 1);
        bad("one name more than a request holds, known from the last count", moreNames.bytes,
            moreNames.lastPartAt + 8);
        const Request allBytes = requestOfBytes(kRequestBytes);
        complete("a request as big as may be", allBytes.bytes, allBytes.names);
        const Request moreBytes = requestOfBytes(kRequestBytes + 1);
        bad("a request one byte bigger, known from its last length", moreBytes.bytes,
            moreBytes.bytes.size() - moreBytes.names.last().size());

        // Marks, and what follows the end.
        bad("the earlier mark", "QMK1" + be32(0), 4);
        bad("a mark in small letters", "qmk2" + be32(0), 4);
        bad("not a request", "open /etc/passwd\n", 4);
        bad("a bad mark after a good part", morePart({"/a"}) + "QMKX" + be32(0), 14 + 4);
        bad("a byte after the last part", a + '\0', a.size() + 1, State::Complete);
        bad("a part after the last", a + lastPart({"/b"}), a.size() + 1, State::Complete);
    }
    // Whole, byte by byte and in pieces of random lengths (short and long), the
    // reader comes to the same.
    void reads() {
        QFETCH(QByteArray, bytes);
        QFETCH(State, state);
        QFETCH(QByteArrayList, names);
        QFETCH(qint64, knownAt);
        QFETCH(State, before);

        const Result whole = feed(bytes, [&] { return bytes.size(); });
        QCOMPARE(whole.state, state);
        if (state == State::Complete)
            QCOMPARE(whole.names, names);
        const Result bytewise = feed(bytes, [] { return 1; });
        QRandomGenerator random(quint32(bytes.size()));
        const Result pieces =
            feed(bytes, [&] { return 1 + qsizetype(random.bounded(1u << random.bounded(18))); });
        for (const Result* r : {&bytewise, &pieces}) {
            QCOMPARE(r->state, whole.state);
            QCOMPARE(r->names, whole.names);
            QCOMPARE(r->parts, whole.parts);
        }

        if (knownAt > 0) {
            RequestReader reader;
            QCOMPARE(reader.take(bytes.constData(), knownAt - 1), before);
            QCOMPARE(reader.take(bytes.constData() + knownAt - 1, 1), state);
        }
    }

    // Until its last byte a request is only being read, also when it stops
    // between its fields or inside one; it is complete at that byte, and the
    // same when it comes in two pieces cut anywhere.
    void cutAtEveryByte_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArrayList>("names");
        QTest::newRow("no names") << lastPart({}) << QByteArrayList();
        QTest::newRow("one part") << lastPart({"/srv/a.qmkx", "/b"})
                                  << QByteArrayList{"/srv/a.qmkx", "/b"};
        QTest::newRow("three parts, one empty")
            << morePart({"/a"}) + morePart({}) + lastPart({"/srv/b.qmkx", "/c"})
            << QByteArrayList{"/a", "/srv/b.qmkx", "/c"};
    }
    void cutAtEveryByte() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArrayList, names);
        RequestReader bytewise;
        for (qsizetype i = 0; i + 1 < bytes.size(); ++i)
            QVERIFY2(bytewise.take(bytes.constData() + i, 1) == State::Reading,
                     qPrintable(QString("after %1 bytes").arg(i + 1)));
        QCOMPARE(bytewise.take(bytes.constData() + bytes.size() - 1, 1), State::Complete);
        QCOMPARE(bytewise.takeNames(), names);

        for (qsizetype cut = 0; cut < bytes.size(); ++cut) {
            RequestReader reader;
            QVERIFY2(reader.take(bytes.constData(), cut) == State::Reading,
                     qPrintable(QString("cut after %1 bytes").arg(cut)));
            QCOMPARE(reader.take(bytes.constData() + cut, bytes.size() - cut), State::Complete);
            QCOMPARE(reader.takeNames(), names);
        }
    }

    // The names and how many of them go in each part; no parts when the names
    // cannot be handed over.
    void encodes_data() {
        QTest::addColumn<QByteArrayList>("names");
        QTest::addColumn<QList<int>>("split");
        const auto refused = [](const char* row, const QByteArrayList& names) {
            QTest::newRow(row) << names << QList<int>();
        };

        QTest::newRow("no names") << QByteArrayList() << QList<int>{0};
        QTest::newRow("a few names, as bytes")
            << QByteArrayList{"/srv/a.qmkx", "/srv/Compta \xE9t\xE9.qmkx", "/"} << QList<int>{3};
        QByteArrayList mostNames;
        for (int i = 0; i < kPartNames; ++i)
            mostNames << nameOf(6, i);
        QTest::newRow("as many names as a part holds") << mostNames << QList<int>{kPartNames};
        QTest::newRow("one name more than a part holds")
            << mostNames + QByteArrayList{"/last"} << QList<int>{kPartNames, 1};
        const QByteArrayList fullPart = namesFilling(kPartBytes - 8);
        const int inFull = int(fullPart.size());
        QTest::newRow("names as big as a part holds") << fullPart << QList<int>{inFull};
        QTest::newRow("one name more than a part's bytes hold")
            << fullPart + QByteArrayList{"/"} << QList<int>{inFull, 1};
        QTest::newRow("a name as long as may be")
            << QByteArrayList{"/a", nameOf(kNameBytes)} << QList<int>{2};
        refused("a name one byte longer", {"/a", nameOf(kNameBytes + 1)});
        refused("an empty name", {"/a", ""});
        refused("a relative name", {"/a", "srv/b.qmkx"});
        refused("a zero byte in a name", {"/a", QByteArray("/b\0c", 4)});

        QByteArrayList allBytes;
        for (int i = 0; i < 16; ++i)
            allBytes += fullPart;
        QTest::newRow("names as big as a request holds") << allBytes << QList<int>(16, inFull);
        refused("one name more than a request's bytes hold", allBytes + QByteArrayList{"/"});
        QList<int> allSplit(kRequestNames / kPartNames, kPartNames);
        allSplit << kRequestNames % kPartNames;
        QTest::newRow("as many names as a request holds")
            << QByteArrayList(kRequestNames, "/") << allSplit;
        refused("one name more than a request holds", QByteArrayList(kRequestNames + 1, "/"));
    }
    // Each part is as a launch of any version writes it; what is encoded reads
    // back as the same names.
    void encodes() {
        QFETCH(QByteArrayList, names);
        QFETCH(QList<int>, split);
        const std::optional<QByteArrayList> parts = qmk::encodeRequest(names);
        if (split.isEmpty()) {
            QVERIFY(!parts);
            return;
        }
        QVERIFY(parts);
        QCOMPARE(parts->size(), split.size());
        qsizetype from = 0;
        for (qsizetype i = 0; i < split.size(); ++i) {
            const QByteArrayList inPart = names.mid(from, split[i]);
            from += split[i];
            const bool last = i == split.size() - 1;
            QVERIFY2((*parts)[i] == (last ? lastPart(inPart) : morePart(inPart)),
                     qPrintable(QString("part %1").arg(i)));
        }

        RequestReader reader;
        for (const QByteArray& p : *parts)
            reader.take(p.constData(), p.size());
        QCOMPARE(reader.state(), State::Complete);
        QCOMPARE(reader.parts(), int(split.size()));
        QCOMPARE(reader.takeNames(), names);
    }
};

QTEST_APPLESS_MAIN(TestHandOverRequest)
#include "tst_handoverrequest.moc"
