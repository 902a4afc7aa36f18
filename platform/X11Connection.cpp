#include "X11Connection.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

struct X11Connection::State {
    ::Display* Dpy = nullptr;
    // Written by the handlers, which run on the thread that uses the connection.
    std::atomic<int> FirstError{0};
    std::atomic<bool> Broken{false};
};

namespace {

std::mutex RegistryLock;
std::vector<X11Connection::State*> Registry;
XErrorHandler PreviousErrorHandler = nullptr;
XIOErrorHandler PreviousIOErrorHandler = nullptr;

X11Connection::State* Find(Display* dpy) {
    const auto it =
        std::find_if(Registry.begin(), Registry.end(), [dpy](const auto* s) { return s->Dpy == dpy; });
    return it == Registry.end() ? nullptr : *it;
}

int OnError(Display* dpy, XErrorEvent* event) {
    XErrorHandler previous;
    {
        std::lock_guard lock(RegistryLock);
        if (X11Connection::State* s = Find(dpy)) {
            int none = 0;
            s->FirstError.compare_exchange_strong(none, event->error_code);
            return 0;
        }
        previous = PreviousErrorHandler;
    }
    return previous ? previous(dpy, event) : 0;
}

int OnIOError(Display* dpy) {
    XIOErrorHandler previous;
    {
        std::lock_guard lock(RegistryLock);
        if (X11Connection::State* s = Find(dpy)) {
            s->Broken = true;
            return 0;
        }
        previous = PreviousIOErrorHandler;
    }
    return previous ? previous(dpy) : 0;
}

// Xlib calls this after the I/O error handler; its default ends the process. Returning leaves the
// connection marked broken, and nothing of ours uses it again.
void OnIOErrorExit(Display*, void*) {}

// Handlers are process-wide, and Qt may set its own after ours: each new connection makes sure ours are
// in place and remembers what they replaced.
void InstallHandlers() {
    static std::once_flag threads;
    // Connections live on several threads; libX11 1.8 does this on its own, older ones need the call
    // before any other.
    std::call_once(threads, [] { XInitThreads(); });
    std::lock_guard lock(RegistryLock);
    const XErrorHandler oldError = XSetErrorHandler(OnError);
    if (oldError != OnError) PreviousErrorHandler = oldError;
    const XIOErrorHandler oldIOError = XSetIOErrorHandler(OnIOError);
    if (oldIOError != OnIOError) PreviousIOErrorHandler = oldIOError;
}

} // namespace

X11Connection::X11Connection(const QByteArray& displayName) : S(std::make_unique<State>()) {
    InstallHandlers();
    S->Dpy = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!S->Dpy) return;
    XSetIOErrorExitHandler(S->Dpy, OnIOErrorExit, nullptr);
    std::lock_guard lock(RegistryLock);
    Registry.push_back(S.get());
}

X11Connection::~X11Connection() {
    if (!S->Dpy) return;
    // Closing a broken connection only frees its memory; the handlers still know it until it is gone.
    XCloseDisplay(S->Dpy);
    std::lock_guard lock(RegistryLock);
    std::erase(Registry, S.get());
}

bool X11Connection::IsOpen() const {
    return S->Dpy && !S->Broken;
}

_XDisplay* X11Connection::Display() const {
    return S->Dpy;
}

int X11Connection::TakeError() {
    return S->FirstError.exchange(0);
}

bool X11Connection::Check() {
    if (!IsOpen()) return false;
    XSync(S->Dpy, False);
    return TakeError() == 0 && IsOpen();
}
