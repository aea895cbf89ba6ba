// What the batch tests share: legacy documents built from field values, files on
// disk, and a probe on the main window that records what the user would see
// (status texts with their titles, messages, reveals) and answers the open dialog.
#pragma once

#include "app/AnimationView.h"
#include "app/Controls.h"
#include "app/wErrors.h"
#include "app/wMain.h"
#include "app/wQueue.h"
#include "conversion/Conversion.h"
#include "model/Globals.h"
#include "platform/Worker.h"
#include "support/Bytes.h"
#include "support/LegacyDoc.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QStringList>
#include <QTimer>

#include <string>
#include <vector>

namespace qmk::test {

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// A Plus / X document with a header, a currency, two accounts and two entries.
inline std::string plusXImage(const std::string& title = "Compta 2024") {
    PlusXDoc doc;
    doc.titre(title).maxEcrCount(2).digCount(2).catNb(1);
    doc.currency(1, {.long1 = 1, .short1 = 2, .wide1 = 100, .wide2 = 200, .flag1 = 1});
    doc.accountInfo(2, 1, 2, 0)
        .account(1, {.recNo = 1, .nextRec = 2, .name = "Banque", .CAT = "ACTF"})
        .account(2, {.recNo = 2, .prevRec = 1, .name = "Caisse", .CAT = "ACTF"});
    doc.journalInfo(2, 1, 2, 0)
        .journal(1, {.recNo = 1, .nextRec = 2, .label = "Ouverture", .ref = "A1", .wide1 = 5000})
        .journal(2, {.recNo = 2, .prevRec = 1, .label = "Loyer", .ref = "A2", .wide1 = -1200});
    return doc.bytes();
}

inline std::string v32Image(const std::string& title = "Ancien dossier") {
    Doc32 doc;
    doc.titre(title).maxEcrCount(0).printTitle("Bilan");
    return doc.bytes();
}

// Already a Pro document: the version word 6200 and nothing else.
inline std::string proImage() {
    return Bytes(512).be16(0, 6200).str();
}

inline bool writeFile(const QString& path, const std::string& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) &&
           f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The names in a folder, sorted.
inline QStringList namesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// Converts the sources one after the other on one state, on this thread and without
// pauses: what the program must write, byte for byte.
inline void convertHeadless(const QStringList& sources) {
    ConversionHandoff s;
    InstantPacer pacer;
    ScopedPacer installed(pacer);
    for (const QString& src : sources) {
        s.setFileToConvert(FolderItem(src.toStdString()));
        convertThread_Run(s, [] {});
    }
}

// A drag that enters the window and is dropped on it, as the window system delivers
// them. True when the window took the drag at its entry (otherwise the desktop would
// not have let it drop there).
inline bool dropMime(wMain& w, const QMimeData& drag) {
    const QPoint at = w.content()->mapTo(&w, QPoint(190, 90));
    QDragEnterEvent enter(at, Qt::CopyAction, &drag, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &drag, Qt::LeftButton, Qt::NoModifier);
    // Straight to the window: the application lets a drop through only while a
    // real drag is under way.
    static_cast<QObject&>(w).event(&drop);
    return true;
}

inline bool dropOn(wMain& w, const QStringList& paths) {
    QMimeData drag;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    drag.setUrls(urls);
    return dropMime(w, drag);
}

struct Shown {
    QString text;
    QString title;
    int queueWidth;   // the queue panel's width at that moment, -1 without a panel
    QString fileName; // the current file's name
};

class BatchProbe {
  public:
    explicit BatchProbe(wMain& w) : w_(w) {
        w.RevealDocument = [this](const QByteArray& path) { reveals << QString::fromUtf8(path); };
        w.MsgBox = [this](const QString& text) { messages << text; };
        w.OpenDialog = [this](const QString& startDir) {
            dialogStartDirs << startDir;
            return dialogAnswers.isEmpty() ? QStringList() : dialogAnswers.takeFirst();
        };
        QObject::connect(&w, &wMain::statusApplied, &w,
                         [this](const QString& text, const QString& title) {
                             const auto file = w_.state().fileToConvert();
                             shown.push_back({text, title, w_.queue ? w_.queue->panelWidth() : -1,
                                              file ? qs(file->Name()) : QString()});
                         });
    }

    // No batch: no panel held, the timer off, the worker idle, the drop view back.
    bool idle() const {
        return !w_.queue && !w_.convertTimer()->isActive() && w_.state().converted.load() &&
               w_.ccDropFile()->isVisibleTo(w_.content());
    }

    QStringList queueRows() const {
        QStringList rows;
        if (w_.queue)
            for (int i = 0; i < w_.queue->lbQueue()->topLevelItemCount(); ++i)
                rows << w_.queue->lbQueue()->topLevelItem(i)->text(0);
        return rows;
    }

    // The error panel's rows as "name | message".
    QStringList errorRows() const {
        QStringList rows;
        if (w_.errors)
            for (int i = 0; i < w_.errors->lbErrors()->topLevelItemCount(); ++i) {
                const auto* item = w_.errors->lbErrors()->topLevelItem(i);
                rows << item->text(0) + " | " + item->text(1);
            }
        return rows;
    }

    // The statuses shown, cut into one run per file at each "Initialisation…", with
    // repeats of the same text and title folded.
    std::vector<std::vector<Shown>> perFile() const {
        const QString init = qs(Globals::kStatusInit());
        std::vector<std::vector<Shown>> runs;
        for (const Shown& s : shown) {
            if (s.text == init || runs.empty())
                runs.emplace_back();
            auto& run = runs.back();
            if (run.empty() || run.back().text != s.text || run.back().title != s.title)
                run.push_back(s);
        }
        return runs;
    }

    // The order in which the files started.
    QStringList started() const {
        QStringList names;
        for (const auto& run : perFile())
            names << run.front().fileName;
        return names;
    }

    std::vector<Shown> shown;
    QStringList reveals;
    QStringList messages;
    QStringList dialogStartDirs;
    QList<QStringList> dialogAnswers;

  private:
    wMain& w_;
};

// True when `got` holds its elements in the order of `expected`, with nothing
// that `expected` lacks (a shorter pause may let a text go by unseen).
inline bool inOrderWithin(const QStringList& got, const QStringList& expected) {
    qsizetype at = 0;
    for (const QString& g : got) {
        while (at < expected.size() && expected[at] != g)
            ++at;
        if (at == expected.size())
            return false;
        ++at;
    }
    return true;
}

} // namespace qmk::test
