// The program in a Wayland session that also offers XWayland (with-mutter.sh starts
// mutter with both): started with documents, as a user starts it, its queue panel
// opens against the main window's right edge. The geometries are read from the X
// display, as the window manager has them; a program that went to Wayland instead
// shows no window there at all.
#include "BatchProbe.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace qmk::test;

namespace {

// A window as the window manager has placed it, in root coordinates.
struct Placed {
    uint32_t id = 0;
    uint32_t transientFor = 0; // the window it belongs to (WM_TRANSIENT_FOR), if any
    QRect client;              // the program's own window
    QMargins frame;            // the window manager's frame around it (_NET_FRAME_EXTENTS)
    QString title;
    QRect outer() const { return client.marginsAdded(frame); }
};

QString describe(const Placed& w) {
    const QRect o = w.outer();
    return QString("\"%1\" at %2,%3 %4x%5")
        .arg(w.title)
        .arg(o.x())
        .arg(o.y())
        .arg(o.width())
        .arg(o.height());
}

// The managed windows of one process on the X display.
class XDisplay {
  public:
    XDisplay() : c_(xcb_connect(nullptr, nullptr)) {
        if (!xcb_connection_has_error(c_))
            root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    }
    ~XDisplay() { xcb_disconnect(c_); }
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool connected() const { return root_ != 0 && !xcb_connection_has_error(c_); }

    // The process's windows that the window manager lists and shows.
    std::vector<Placed> windowsOf(qint64 pid) {
        std::vector<Placed> found;
        for (uint32_t w : cardinals(root_, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW)) {
            const std::vector<uint32_t> owner = cardinals(w, "_NET_WM_PID", XCB_ATOM_CARDINAL);
            if (owner.size() != 1 || owner[0] != uint32_t(pid) || !viewable(w))
                continue;
            if (std::optional<Placed> p = placed(w))
                found.push_back(*p);
        }
        return found;
    }

  private:
    using Reply = std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)>;

    xcb_atom_t atom(const char* name) {
        auto* r = xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, uint16_t(std::string(name).size()), name), nullptr);
        const xcb_atom_t a = r ? r->atom : 0;
        std::free(r);
        return a;
    }

    Reply property(uint32_t window, const char* name, xcb_atom_t type) {
        return Reply(xcb_get_property_reply(
                         c_, xcb_get_property(c_, 0, window, atom(name), type, 0, 4096), nullptr),
                     &std::free);
    }

    std::vector<uint32_t> cardinals(uint32_t window, const char* name, xcb_atom_t type) {
        const Reply r = property(window, name, type);
        if (!r || r->format != 32)
            return {};
        const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
        return std::vector<uint32_t>(v, v + xcb_get_property_value_length(r.get()) / 4);
    }

    bool viewable(uint32_t window) {
        auto* r =
            xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, window), nullptr);
        const bool shown = r && r->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(r);
        return shown;
    }

    std::optional<Placed> placed(uint32_t window) {
        auto* geometry = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, window), nullptr);
        auto* at = xcb_translate_coordinates_reply(
            c_, xcb_translate_coordinates(c_, window, root_, 0, 0), nullptr);
        std::optional<Placed> p;
        if (geometry && at) {
            p = Placed{
                window, 0, QRect(at->dst_x, at->dst_y, geometry->width, geometry->height), {}, {}};
            if (const std::vector<uint32_t> t =
                    cardinals(window, "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW);
                t.size() == 1)
                p->transientFor = t[0];
            const std::vector<uint32_t> e =
                cardinals(window, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
            if (e.size() == 4) // left, right, top, bottom
                p->frame = QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3]));
            if (const Reply name = property(window, "_NET_WM_NAME", atom("UTF8_STRING")))
                p->title =
                    QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(name.get())),
                                      xcb_get_property_value_length(name.get()));
        }
        std::free(geometry);
        std::free(at);
        return p;
    }

    xcb_connection_t* c_;
    xcb_window_t root_ = 0;
};

} // namespace

class WaylandSessionTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        if (qgetenv("XDG_SESSION_TYPE") != "wayland" || qEnvironmentVariableIsEmpty("DISPLAY") ||
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            QSKIP("needs a Wayland session with XWayland (run through with-mutter.sh)");
    }

    // Started as from a session's launcher: no platform chosen, the session's
    // environment. The queue panel is open for as long as the batch runs, longer
    // with these documents than the wait lasts; the run ends once the panel is seen.
    void queuePanelAgainstTheMainWindow() {
        XDisplay x;
        QVERIFY2(x.connected(), "the session's X display does not answer");
        QTemporaryDir folder, home;
        QVERIFY(folder.isValid() && home.isValid());
        QStringList documents;
        for (int i = 1; i <= 80; ++i) {
            documents << folder.filePath(QString("Dossier %1.qmk3").arg(i));
            QVERIFY(writeFile(documents.last(), v32Image()));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.insert("HOME", home.path());
        QProcess program;
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QMK_PROGRAM, documents);
        QVERIFY(program.waitForStarted(30000));
        auto stop = qScopeGuard([&] {
            program.terminate();
            if (!program.waitForFinished(30000))
                program.kill();
        });

        // Seen when the panel is no longer growing and the window manager has settled both.
        const auto besideTheMainWindow = [&](QString& seen) {
            const std::vector<Placed> windows = x.windowsOf(program.processId());
            QStringList names;
            for (const Placed& w : windows)
                names << describe(w);
            seen = names.isEmpty() ? "no window of the program on the X display" : names.join("; ");
            if (windows.size() != 2)
                return false;
            // The panel belongs to the main window.
            const bool firstIsMain = windows[1].transientFor == windows[0].id;
            const Placed& main = windows[firstIsMain ? 0 : 1];
            const Placed& panel = windows[firstIsMain ? 1 : 0];
            return panel.transientFor == main.id && panel.client.width() == 220 &&
                   panel.outer().left() == main.outer().right() + 1 &&
                   panel.outer().top() >= main.client.top() &&
                   panel.outer().bottom() <= main.client.bottom();
        };
        QString seen;
        // A minute at most (QTRY would wait three times as long to fail).
        const QDeadlineTimer deadline(60000);
        bool beside = false;
        while (!(beside = besideTheMainWindow(seen)) && !deadline.hasExpired() &&
               program.state() == QProcess::Running)
            QTest::qWait(50);
        QVERIFY2(program.state() == QProcess::Running,
                 qPrintable("the program ended before its queue panel was seen: " + seen));
        QVERIFY2(beside, qPrintable("the queue panel is not beside the main window: " + seen));
    }
};

QTEST_GUILESS_MAIN(WaylandSessionTest)
#include "tst_wayland.moc"
