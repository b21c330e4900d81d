#include "LockKeys.h"

#ifdef _WIN32
#include <windows.h>
#elif defined(ZELVO_HAVE_XKB)
#include <QGuiApplication>
#if QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#define ZELVO_QUERY_XKB 1
#endif
#endif

namespace zelvo::app {

std::optional<LockKeys> QueryLockKeys()
{
#ifdef _WIN32
    return LockKeys{(GetKeyState(VK_CAPITAL) & 1) != 0, (GetKeyState(VK_NUMLOCK) & 1) != 0,
                    (GetKeyState(VK_SCROLL) & 1) != 0};
#elif defined(ZELVO_QUERY_XKB)
    // Only an X11 session has a display to ask; Wayland and offscreen cannot tell.
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    static const Atom caps = XInternAtom(display, "Caps Lock", False);
    static const Atom num = XInternAtom(display, "Num Lock", False);
    static const Atom scroll = XInternAtom(display, "Scroll Lock", False);
    auto isOn = [display](Atom indicator) {
        Bool on = False;
        return XkbGetNamedIndicator(display, indicator, nullptr, &on, nullptr, nullptr) && on;
    };
    return LockKeys{isOn(caps), isOn(num), isOn(scroll)};
#else
    return std::nullopt;
#endif
}

} // namespace zelvo::app
