#include "TaskbarHints.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(xcb_intern_atom_reply(c, cookie, nullptr),
                                                                    &free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The atoms the window holds in the property now.
std::vector<xcb_atom_t> AtomsOf(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    constexpr uint32_t mostAtoms = 1024;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, mostAtoms);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(c, cookie, nullptr), &free);
    std::vector<xcb_atom_t> atoms;
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM) return atoms;
    const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    atoms.assign(data, data + xcb_get_property_value_length(reply.get()) / sizeof(xcb_atom_t));
    return atoms;
}

} // namespace

void LeaveOutOfTaskbar(QWidget* window) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || !window) return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t netWmState = Atom(c, "_NET_WM_STATE");
    const std::array<xcb_atom_t, 4> wanted = {
        Atom(c, "_NET_WM_STATE_SKIP_TASKBAR"), Atom(c, "_NET_WM_STATE_SKIP_PAGER"),
        Atom(c, "_NET_WM_STATE_FULLSCREEN"), Atom(c, "_NET_WM_STATE_ABOVE")};
    if (netWmState == XCB_ATOM_NONE) return;

    if (!window->isVisible()) {
        // Before mapping the client writes the property itself; Qt merges its own states into what it
        // finds there when it maps the window.
        std::vector<xcb_atom_t> atoms = AtomsOf(c, id, netWmState);
        for (xcb_atom_t atom : wanted)
            if (atom != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), atom) == atoms.end())
                atoms.push_back(atom);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, netWmState, XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(atoms.size()), atoms.data());
        xcb_flush(c);
        return;
    }
    // A mapped window's state belongs to the window manager: ask it, two states a message.
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    constexpr uint32_t addState = 1;
    constexpr uint32_t fromApplication = 1;
    for (size_t i = 0; i < wanted.size(); i += 2) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = netWmState;
        event.data.data32[0] = addState;
        event.data.data32[1] = wanted[i];
        event.data.data32[2] = wanted[i + 1];
        event.data.data32[3] = fromApplication;
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(c);
}
