/* Asks an X window to close the way a window manager's close button does: sends it
 * the WM_DELETE_WINDOW client message. With --destroy, destroys the window from this
 * client instead, as a misbehaving program could.
 * Usage: xclose [--destroy] <window id> */
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    int destroy = argc == 3 && strcmp(argv[1], "--destroy") == 0;
    if (argc != 2 && !destroy) {
        fprintf(stderr, "usage: xclose [--destroy] <window id>\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xclose: cannot open display\n");
        return 1;
    }
    Window window = (Window)strtoul(argv[argc - 1], NULL, 0);
    if (destroy) {
        XDestroyWindow(display, window);
        XSync(display, False);
        XCloseDisplay(display);
        return 0;
    }
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", True);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
