/* Native helper of the end-to-end tests: tells whether the X server shows a
 * pointer. Wine hides the pointer by giving its X windows an empty cursor,
 * so the XFixes cursor image (what the server draws at the pointer) is
 * fully transparent exactly when no pointer shows.
 *
 *   pointer_probe shown     exits 0 when a pointer shows, 1 when none does
 *   pointer_probe hidden    exits 0 when no pointer shows, 1 when one does
 *
 * Exits 2 when it cannot tell (no display, no XFixes, bad arguments).
 */
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc != 2 || (strcmp(argv[1], "shown") != 0 && strcmp(argv[1], "hidden") != 0)) {
        fprintf(stderr, "usage: %s shown|hidden\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "pointer_probe: cannot open the display\n");
        return 2;
    }
    int event_base = 0, error_base = 0;
    XFixesCursorImage* image =
        XFixesQueryExtension(display, &event_base, &error_base) ? XFixesGetCursorImage(display) : NULL;
    if (!image) {
        fprintf(stderr, "pointer_probe: no XFixes cursor image\n");
        XCloseDisplay(display);
        return 2;
    }
    int shown = 0;
    /* One ARGB pixel per unsigned long, alpha in bits 24..31. */
    for (size_t i = 0; i < (size_t)image->width * image->height && !shown; ++i)
        shown = ((image->pixels[i] >> 24) & 0xff) != 0;
    XFree(image);
    XCloseDisplay(display);
    return shown == (strcmp(argv[1], "shown") == 0) ? 0 : 1;
}
