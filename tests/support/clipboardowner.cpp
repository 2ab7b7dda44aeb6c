// vorn-clipboard-owner: an X client of its own that takes the CLIPBOARD selection, for the
// clipboard tests. Each argument TARGET=DATA (split at its last =) offers DATA in that target
// (UTF8_STRING=hello, image/png=...); the argument "hang" offers nothing and never reads a
// request again, like an owner that has stopped answering. It prints "owned" once it holds the selection and ends when
// another client takes the selection or when it is killed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Offer
{
    Atom target;
    std::string data;
};

// A timestamp from the server, as the selection protocol asks for (not CurrentTime).
Time ServerTime(Display* display, Window window)
{
    XSelectInput(display, window, PropertyChangeMask);
    XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != PropertyNotify);
    return event.xproperty.time;
}

void Answer(Display* display, const XSelectionRequestEvent& request, Atom targets,
    const std::vector<Offer>& offers)
{
    const Atom property = request.property != None ? request.property : request.target;
    bool answered = false;
    if (request.target == targets) {
        std::vector<Atom> list { targets };
        for (const Offer& offer : offers) {
            list.push_back(offer.target);
        }
        XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
            reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
        answered = true;
    }
    for (const Offer& offer : offers) {
        if (!answered && request.target == offer.target) {
            XChangeProperty(display, request.requestor, property, offer.target, 8, PropModeReplace,
                reinterpret_cast<const unsigned char*>(offer.data.data()),
                static_cast<int>(offer.data.size()));
            answered = true;
        }
    }
    XEvent reply {};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.property = answered ? property : None;
    reply.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
}

} // namespace

int main(int argc, char* argv[])
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "vorn-clipboard-owner: no X display\n");
        return 2;
    }
    bool hang = false;
    std::vector<Offer> offers;
    for (int i = 1; i < argc; ++i) {
        const char* equals = std::strrchr(argv[i], '=');
        if (std::strcmp(argv[i], "hang") == 0) {
            hang = true;
        } else if (equals != nullptr) {
            const std::string name(argv[i], static_cast<std::size_t>(equals - argv[i]));
            offers.push_back({ XInternAtom(display, name.c_str(), False), equals + 1 });
        } else {
            std::fprintf(stderr, "vorn-clipboard-owner: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Window window
        = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, clipboard, window, ServerTime(display, window));
    if (XGetSelectionOwner(display, clipboard) != window) {
        std::fprintf(stderr, "vorn-clipboard-owner: could not take the clipboard\n");
        return 1;
    }
    std::printf("owned\n");
    std::fflush(stdout);
    if (hang) {
        // Requests pile up in the server, unread.
        for (;;) {
            pause();
        }
    }
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionRequest) {
            Answer(display, event.xselectionrequest, targets, offers);
        } else if (event.type == SelectionClear) {
            break;
        }
    }
    XCloseDisplay(display);
    return 0;
}
