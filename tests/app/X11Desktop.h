// What the tests ask of the X server and its window manager, on a connection of
// their own: the requests a taskbar or the keyboard would send. Close and activate
// go to the window manager as EWMH messages; key presses and the pointer go to the
// server through the XTEST extension, so the window manager's own key bindings
// (Alt+F4) see them, and a drag between two programs is a real one.
#pragma once

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <poll.h>
#include <sys/uio.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace qmk::test::x11 {

// Key symbols used by the tests.
constexpr uint32_t kAlt_L = 0xffe9;
constexpr uint32_t kControl_L = 0xffe3;
constexpr uint32_t kDown = 0xff54;
constexpr uint32_t kEnd = 0xff57;
constexpr uint32_t kEscape = 0xff1b;
constexpr uint32_t kF4 = 0xffc1;
constexpr uint32_t kPage_Down = 0xff56;
constexpr uint32_t kReturn = 0xff0d;
constexpr uint32_t kq = 0x0071;

// The XTEST FakeInput request as it goes on the wire.
struct FakeInputRequest {
    uint8_t majorOpcode; // filled by xcb
    uint8_t minorOpcode; // filled by xcb
    uint16_t length;     // filled by xcb
    uint8_t type;        // 2 key press, 3 key release, 4 button press, 5 button release, 6 motion
    uint8_t detail;      // the key code, the button, or for a motion 0 (absolute)
    uint16_t pad0;
    uint32_t time; // 0: at once
    uint32_t root; // 0: the pointer's screen
    uint32_t pad1;
    uint32_t pad2;
    int16_t rootX;
    int16_t rootY;
    uint32_t pad3;
    uint16_t pad4;
    uint8_t pad5;
    uint8_t deviceId;
};
static_assert(sizeof(FakeInputRequest) == 36);
static_assert(offsetof(FakeInputRequest, type) == 4);
static_assert(offsetof(FakeInputRequest, time) == 8);
static_assert(offsetof(FakeInputRequest, root) == 12);
static_assert(offsetof(FakeInputRequest, rootX) == 24);
static_assert(offsetof(FakeInputRequest, deviceId) == 35);

class Desktop {
  public:
    Desktop() : c_(xcb_connect(nullptr, &screenNo_)) {
        if (xcb_connection_has_error(c_))
            return;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
        for (int i = 0; i < screenNo_ && it.rem; ++i)
            xcb_screen_next(&it);
        if (it.rem)
            root_ = it.data->root;
    }
    ~Desktop() { xcb_disconnect(c_); }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    bool connected() const { return root_ != 0 && !xcb_connection_has_error(c_); }

    // A window manager that follows the EWMH has claimed the screen.
    bool hasWindowManager() {
        if (!connected())
            return false;
        auto* reply = xcb_get_property_reply(
            c_,
            xcb_get_property(c_, 0, root_, atom("_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0, 1),
            nullptr);
        const bool found = reply && xcb_get_property_value_length(reply) == 4;
        free(reply);
        return found;
    }

    // What a taskbar's "close" sends: the window manager asks the window to close.
    void requestClose(uint32_t window) { toWindowManager(window, "_NET_CLOSE_WINDOW", {0, 2}); }
    // What a taskbar's click sends: the window manager gives the window the focus.
    void requestActivate(uint32_t window) {
        toWindowManager(window, "_NET_ACTIVE_WINDOW", {2, 0, 0});
    }

    // What a taskbar's "minimise" sends: the window manager iconifies the window.
    void requestMinimise(uint32_t window) {
        toWindowManager(window, "WM_CHANGE_STATE", {3 /* IconicState */});
    }

    // The managed window of a process, found by its _NET_WM_PID and title; 0 if none.
    uint32_t windowOf(uint32_t pid, const std::string& title) {
        for (uint32_t w : values(root_, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW)) {
            const std::vector<uint32_t> owner = values(w, "_NET_WM_PID", XCB_ATOM_CARDINAL);
            if (!owner.empty() && owner[0] == pid && text(w, "_NET_WM_NAME") == title)
                return w;
        }
        return 0;
    }

    // The window the window manager has made active; 0 if none.
    uint32_t activeWindow() {
        const std::vector<uint32_t> v = values(root_, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
        return v.empty() ? 0 : v[0];
    }

    // Shown as a normal window: mapped, in the normal state, not hidden.
    bool shownNormally(uint32_t window) {
        auto* attrs =
            xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, window), nullptr);
        const bool viewable = attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
        free(attrs);
        return viewable && wmState(window) == kNormalState &&
               !hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN");
    }

    // The state the window manager gives the window: kNormalState, kIconicState, or
    // 0 while it manages none (withdrawn).
    static constexpr uint32_t kNormalState = 1;
    static constexpr uint32_t kIconicState = 3;
    uint32_t wmState(uint32_t window) {
        const std::vector<uint32_t> state = values(window, "WM_STATE", atom("WM_STATE"));
        return state.empty() ? 0 : state[0];
    }

    // The window lists the atom in one of its atom-list properties.
    bool hasAtom(uint32_t window, const char* property, const char* name) {
        const xcb_atom_t wanted = atom(name);
        for (uint32_t a : values(window, property, XCB_ATOM_ATOM))
            if (a == wanted)
                return true;
        return false;
    }

    // Presses the keys in order and releases them in reverse, as a person would.
    bool pressKeys(std::initializer_list<uint32_t> keysyms) {
        std::vector<uint8_t> codes;
        for (uint32_t k : keysyms) {
            const uint8_t code = keycodeOf(k);
            if (!code)
                return false;
            codes.push_back(code);
        }
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xtest_);
        if (!ext || !ext->present)
            return false;
        for (uint8_t code : codes)
            fakeKey(2, code);
        for (auto it = codes.rbegin(); it != codes.rend(); ++it)
            fakeKey(3, *it);
        sync();
        return true;
    }

    // Moves the pointer to a point of the screen, as a hand on the mouse would.
    bool movePointer(int x, int y) { return fakeInput(6, 0, int16_t(x), int16_t(y)); }
    // Presses or releases a mouse button (1 the left one) where the pointer is.
    bool pressButton(uint8_t button = 1) { return fakeInput(4, button); }
    bool releaseButton(uint8_t button = 1) { return fakeInput(5, button); }
    // Clicks the left button at a point of the screen, twice for a double click.
    // After each click it waits, as a hand's pace would, until the window manager
    // has let the click through: one that comes while the window manager still
    // holds the last one back can go missing.
    bool click(int x, int y, int times = 1) {
        bool ok = movePointer(x, y);
        for (int i = 0; i < times; ++i)
            ok = pressButton() && releaseButton() && windowManagerCaughtUp() && ok;
        return ok;
    }

    // Waits until the window manager has handled every request that reached the
    // server before this call, such as a program's request to activate one of its
    // windows: the window manager answers a request for the frame extents of a
    // window it does not manage by setting them on that window, in turn with the
    // rest. False when no answer came within timeoutMs.
    bool windowManagerCaughtUp(int timeoutMs = 20000) {
        const xcb_window_t probe = xcb_generate_id(c_);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c_, 0, probe, root_, -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        const xcb_atom_t extents = atom("_NET_FRAME_EXTENTS");
        toWindowManager(probe, "_NET_REQUEST_FRAME_EXTENTS", {});
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        pollfd fd = {xcb_get_file_descriptor(c_), POLLIN, 0};
        bool answered = false;
        while (!answered) {
            xcb_generic_event_t* e = xcb_poll_for_event(c_);
            if (!e) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0 || poll(&fd, 1, int(left.count())) <= 0)
                    break;
                continue;
            }
            const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(e);
            answered = (e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && p->window == probe &&
                       p->atom == extents;
            free(e);
        }
        xcb_destroy_window(c_, probe);
        sync();
        return answered;
    }

  private:
    std::vector<uint32_t> values(uint32_t window, const char* property, xcb_atom_t type) {
        auto* reply = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, window, atom(property), type, 0, 1024), nullptr);
        std::vector<uint32_t> v;
        if (reply && reply->format == 32) {
            const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
            v.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        free(reply);
        return v;
    }

    std::string text(uint32_t window, const char* property) {
        auto* reply = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, window, atom(property), atom("UTF8_STRING"), 0, 1024),
            nullptr);
        std::string t;
        if (reply && reply->format == 8)
            t.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     size_t(xcb_get_property_value_length(reply)));
        free(reply);
        return t;
    }

    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, uint16_t(std::string(name).size()), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : 0;
        free(reply);
        return a;
    }

    void toWindowManager(uint32_t window, const char* message,
                         std::initializer_list<uint32_t> data) {
        xcb_client_message_event_t ev = {};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = window;
        ev.type = atom(message);
        int i = 0;
        for (uint32_t d : data)
            ev.data.data32[i++] = d;
        xcb_send_event(c_, 0, root_,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&ev));
        sync();
    }

    uint8_t keycodeOf(uint32_t keysym) {
        const xcb_setup_t* setup = xcb_get_setup(c_);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto* reply = xcb_get_keyboard_mapping_reply(
            c_, xcb_get_keyboard_mapping(c_, setup->min_keycode, uint8_t(count)), nullptr);
        if (!reply)
            return 0;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
        uint8_t found = 0;
        for (int k = 0; k < count && !found; ++k)
            if (syms[k * reply->keysyms_per_keycode] == keysym)
                found = uint8_t(setup->min_keycode + k);
        free(reply);
        return found;
    }

    void fakeKey(uint8_t type, uint8_t code) { sendFakeInput(type, code, 0, 0); }

    bool fakeInput(uint8_t type, uint8_t detail, int16_t x = 0, int16_t y = 0) {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xtest_);
        if (!ext || !ext->present)
            return false;
        sendFakeInput(type, detail, x, y);
        sync();
        return true;
    }

    void sendFakeInput(uint8_t type, uint8_t detail, int16_t x, int16_t y) {
        FakeInputRequest req = {};
        req.type = type;
        req.detail = detail;
        req.root = type == 6 ? root_ : 0;
        req.rootX = x;
        req.rootY = y;
        iovec parts[4] = {};
        parts[2].iov_base = &req;
        parts[2].iov_len = sizeof req;
        parts[3].iov_base = nullptr;
        parts[3].iov_len = 0;
        xcb_protocol_request_t proto = {2, &xtest_, 2 /* FakeInput */, 1 /* no reply */};
        xcb_send_request(c_, 0, parts + 2, &proto);
    }

    // Waits until the server has handled everything sent so far.
    void sync() { free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    xcb_connection_t* c_;
    int screenNo_ = 0;
    xcb_window_t root_ = 0;
    xcb_extension_t xtest_ = {"XTEST", 0};
};

// The desktop that a test case runs on: the display's, when Qt runs on X and a
// window manager has claimed the screen (with-openbox.sh starts the tests so).
// Otherwise none, and `whyNot` tells why the case is skipped.
inline std::unique_ptr<Desktop> managedDesktop(const char*& whyNot) {
    if (QGuiApplication::platformName() != "xcb") {
        whyNot = "needs an X display with a window manager (run through with-openbox.sh)";
        return nullptr;
    }
    auto desktop = std::make_unique<Desktop>();
    if (!desktop->hasWindowManager()) {
        whyNot = "no window manager on this display (run through with-openbox.sh)";
        return nullptr;
    }
    return desktop;
}

} // namespace qmk::test::x11
