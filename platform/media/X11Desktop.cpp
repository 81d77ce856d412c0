// The desktop side of the caption and task-bar features over xcb and EWMH.
#include "platform/media/ForegroundCaption.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_connection_t* Connection() {
    if (QGuiApplication::platformName() != "xcb") return nullptr;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

xcb_window_t Root(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    return xcb_setup_roots_iterator(setup).data->root;
}

// The whole property, however long.
std::optional<std::string> Property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop,
                                    xcb_atom_t type) {
    auto cookie = xcb_get_property(c, 0, w, prop, type, 0, 1u << 20);
    xcb_get_property_reply_t* r = xcb_get_property_reply(c, cookie, nullptr);
    if (!r) return std::nullopt;
    std::optional<std::string> out;
    if (r->type != XCB_ATOM_NONE)
        out = std::string(static_cast<const char*>(xcb_get_property_value(r)),
                          size_t(xcb_get_property_value_length(r)));
    std::free(r);
    return out;
}

class TX11CaptionHost : public ICaptionHost {
public:
    explicit TX11CaptionHost(xcb_connection_t* c)
        : C(c), ActiveAtom(Atom(c, "_NET_ACTIVE_WINDOW")), NameAtom(Atom(c, "_NET_WM_NAME")),
          Utf8(Atom(c, "UTF8_STRING")), PidAtom(Atom(c, "_NET_WM_PID")) {}

    THXWindowId Foreground() override {
        auto v = Property(C, Root(C), ActiveAtom, XCB_ATOM_WINDOW);
        if (!v || v->size() < 4) return 0;
        uint32_t w;
        std::memcpy(&w, v->data(), 4);
        return w;
    }
    std::optional<std::string> ReadCaption(THXWindowId w) override {
        if (auto v = Property(C, w, NameAtom, Utf8)) return v;
        return Property(C, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
    }
    bool WriteCaption(THXWindowId w, const std::string& caption) override {
        xcb_change_property(C, XCB_PROP_MODE_REPLACE, w, NameAtom, Utf8, 8,
                            uint32_t(caption.size()), caption.data());
        xcb_flush(C);
        return true;
    }
    bool IsOwnWindow(THXWindowId w) override {
        auto v = Property(C, w, PidAtom, XCB_ATOM_CARDINAL);
        if (!v || v->size() < 4) return false;
        uint32_t pid;
        std::memcpy(&pid, v->data(), 4);
        return pid == uint32_t(getpid());
    }

private:
    xcb_connection_t* C;
    xcb_atom_t ActiveAtom, NameAtom, Utf8, PidAtom;
};

class TNoCaptionHost : public ICaptionHost {
public:
    THXWindowId Foreground() override { return 0; }
    std::optional<std::string> ReadCaption(THXWindowId) override { return std::nullopt; }
    bool WriteCaption(THXWindowId, const std::string&) override { return false; }
    bool IsOwnWindow(THXWindowId) override { return true; }
};

} // namespace

std::unique_ptr<ICaptionHost> CreateDesktopCaptionHost() {
    if (xcb_connection_t* c = Connection()) return std::make_unique<TX11CaptionHost>(c);
    return std::make_unique<TNoCaptionHost>();
}

void SetSkipTaskbar(uintptr_t nativeWindow, bool skip) {
    xcb_connection_t* c = Connection();
    if (!c || nativeWindow == 0) return;
    const xcb_window_t w = xcb_window_t(nativeWindow);
    const xcb_atom_t state = Atom(c, "_NET_WM_STATE");
    const xcb_atom_t skipAtom = Atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = state;
    ev.data.data32[0] = skip ? 1 : 0; // add / remove
    ev.data.data32[1] = skipAtom;
    ev.data.data32[3] = 1; // from an application
    xcb_send_event(c, 0, Root(c),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}
