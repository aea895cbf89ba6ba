// Waits for a top-level window of the given title to be mapped, and prints the
// moment the X server reported it (milliseconds of the real-time clock), for
// timing a program's start-up from outside without polling.
//
//     wait-for-window TITLE    # prints "ready", then the moment, or "timeout"
//
// Start it first and launch the program once it has printed "ready": from then
// on it sees every new top-level window. A window manager that reparents does
// not hide the map: each new window is watched itself.
#include <xcb/xcb.h>

#include <poll.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

int64_t nowMs() {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

std::string property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name) {
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
    std::string v;
    if (r)
        v.assign(static_cast<const char*>(xcb_get_property_value(r)),
                 size_t(xcb_get_property_value_length(r)));
    std::free(r);
    return v;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s TITLE\n", argv[0]);
        return 2;
    }
    const std::string title = argv[1];
    int screenNo = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNo);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "wait-for-window: no X display\n");
        return 1;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNo && it.rem; ++i)
        xcb_screen_next(&it);
    const xcb_window_t root = it.data->root;
    const xcb_atom_t netWmName = atom(c, "_NET_WM_NAME");

    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t ck =
        xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &rootMask);
    if (xcb_generic_error_t* e = xcb_request_check(c, ck)) {
        std::fprintf(stderr, "wait-for-window: cannot watch the root window (%d)\n", e->error_code);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    const int64_t limit = nowMs() + 30000;
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    for (;;) {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) {
            const uint8_t type = ev->response_type & 0x7F;
            if (type == XCB_CREATE_NOTIFY) {
                // Its own map is reported wherever a window manager puts it.
                const auto* cn = reinterpret_cast<xcb_create_notify_event_t*>(ev);
                const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                xcb_change_window_attributes(c, cn->window, XCB_CW_EVENT_MASK, &mask);
                xcb_flush(c);
            } else if (type == XCB_MAP_NOTIFY) {
                const int64_t at = nowMs();
                const auto* mn = reinterpret_cast<xcb_map_notify_event_t*>(ev);
                if (property(c, mn->window, netWmName) == title ||
                    property(c, mn->window, XCB_ATOM_WM_NAME) == title) {
                    std::printf("%lld\n", static_cast<long long>(at));
                    std::free(ev);
                    xcb_disconnect(c);
                    return 0;
                }
            }
            std::free(ev);
        }
        if (xcb_connection_has_error(c))
            break;
        const int64_t left = limit - nowMs();
        if (left <= 0)
            break;
        poll(&p, 1, int(left));
    }
    std::printf("timeout\n");
    xcb_disconnect(c);
    return 1;
}
