/* Native helper of bench/run.sh: reads the X screen directly (XGetImage) so
 * that polling costs a millisecond or so instead of an ImageMagick run.
 *
 *   screenprobe paint-root RRGGBB
 *       Sets the root window's background to that colour and clears it, so
 *       that a black full-screen window becomes visible as a change.
 *
 *   screenprobe launch [--timeout S] [--digits] [--scale K] [--colour RRGGBB] [--area WxH] -- COMMAND [ARG...]
 *       Opens the display, notes the time, starts COMMAND (left running) and
 *       polls the screen (or only its W x H top-left corner, the primary
 *       monitor of a desk of several) every 5 ms until
 *         - "covered": a grid of rows across the screen, clear of the clock
 *           panel, is entirely black, and
 *         - with --digits, "digits": the clock's digits are lit, seen as a
 *           pixel of the lit segments' colour (the design's pure green,
 *           00FF00, unless --colour says otherwise) in the band of the
 *           978 x 327 clock panel (centred on the screen) that only the
 *           minute units picture covers (kUnitsBandLeft below). With the
 *           clock K times its 96-DPI size every one of these figures is K
 *           times larger.
 *       Prints "pid=N covered_ms=T [digits_ms=T]" (milliseconds from just
 *       before fork; "-" for a condition not met before the time-out), closes
 *       its output and stays the program's parent until the program ends, so
 *       that the program is reaped. Exits 0 when every condition was met, 2
 *       after a time-out, 3 when the screen was already covered before the
 *       start (a previous window still up), 1 on other errors.
 */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ClockDesign.h"

// The clock's figures are the design's own.
constexpr int kPanelWidth = lumidial::kPanelWidth, kPanelHeight = lumidial::kPanelHeight;
constexpr int kDigitHeight = lumidial::kDigitHeight;
enum { kPollMicros = 5000, kGridRows = 8 };

/* The minute units picture, the last the clock fills in, lies at panel
 * columns 757..976, or 647..866 when a one-digit hour shifts the pictures
 * left by 110. Columns 787..936 lie in it either way, and hold its tile
 * columns 140..179 in one of the two positions: the right-hand vertical
 * segments, of which every digit lights at least one. Nothing else of the
 * clock reaches this band, so its lit colour there means the time is drawn. */
constexpr int kUnitsBandLeft = lumidial::kPictureRects[4].left + 30, kUnitsBandWidth = 150;

static double now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

static int shift_of(unsigned long mask) {
    int s = 0;
    if (!mask) return 0;
    while (!(mask & 1)) { mask >>= 1; ++s; }
    return s;
}

/* The pixel value of an 8-bit-per-channel colour in the default visual. */
static unsigned long pixel_of(Display *dpy, unsigned r, unsigned g, unsigned b) {
    Visual *v = DefaultVisual(dpy, DefaultScreen(dpy));
    int rs = shift_of(v->red_mask), gs = shift_of(v->green_mask), bs = shift_of(v->blue_mask);
    unsigned long rm = v->red_mask >> rs, gm = v->green_mask >> gs, bm = v->blue_mask >> bs;
    return ((r * rm / 255) << rs) | ((g * gm / 255) << gs) | ((b * bm / 255) << bs);
}

/* True when every pixel of the rectangle equals `want` (all) or when at
 * least one does (!all). */
static int scan(Display *dpy, int x, int y, int w, int h, unsigned long want, int all) {
    XImage *img = XGetImage(dpy, DefaultRootWindow(dpy), x, y, (unsigned)w, (unsigned)h,
                            AllPlanes, ZPixmap);
    if (!img) return 0;
    unsigned long mask = img->depth >= 32 ? 0xffffffffUL : ((1UL << img->depth) - 1);
    int found = all;
    if (img->bits_per_pixel == 32) {
        for (int row = 0; row < h; ++row) {
            const unsigned int *p = (const unsigned int *)(img->data + (long)row * img->bytes_per_line);
            for (int col = 0; col < w; ++col) {
                int match = ((p[col] & mask) == want);
                if (all && !match) { found = 0; goto done; }
                if (!all && match) { found = 1; goto done; }
            }
        }
    } else {
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col) {
                int match = ((XGetPixel(img, col, row) & mask) == want);
                if (all && !match) { found = 0; goto done; }
                if (!all && match) { found = 1; goto done; }
            }
    }
done:
    XDestroyImage(img);
    return found;
}

static int paint_root(const char *hex) {
    unsigned rgb;
    if (sscanf(hex, "%6x", &rgb) != 1) { fprintf(stderr, "screenprobe: bad colour %s\n", hex); return 1; }
    Display *dpy = XOpenDisplay(NULL);
    if (!dpy) { fprintf(stderr, "screenprobe: cannot open display\n"); return 1; }
    Window root = DefaultRootWindow(dpy);
    XSetWindowBackground(dpy, root, pixel_of(dpy, rgb >> 16, (rgb >> 8) & 0xff, rgb & 0xff));
    XClearWindow(dpy, root);
    XCloseDisplay(dpy);
    return 0;
}

static void print_ms(const char *name, double ms) {
    if (ms < 0) printf(" %s=-", name);
    else printf(" %s=%.0f", name, ms);
}

/* A figure of the 96-DPI clock at K times the density, rounded. */
static int scaled(int figure, double k) { return (int)(figure * k + 0.5); }

static int launch(int argc, char **argv) {
    double timeout_s = 30, k = 1;
    int digits = 0, i = 0, aw = 0, ah = 0;
    unsigned lit_rgb = 0x00FF00;
    for (; i < argc; ++i) {
        if (!strcmp(argv[i], "--timeout") && i + 1 < argc) timeout_s = atof(argv[++i]);
        else if (!strcmp(argv[i], "--scale") && i + 1 < argc) k = atof(argv[++i]);
        else if (!strcmp(argv[i], "--colour") && i + 1 < argc && sscanf(argv[i + 1], "%6x", &lit_rgb) == 1) ++i;
        else if (!strcmp(argv[i], "--digits")) digits = 1;
        else if (!strcmp(argv[i], "--area") && i + 1 < argc && sscanf(argv[i + 1], "%dx%d", &aw, &ah) == 2) ++i;
        else if (!strcmp(argv[i], "--")) { ++i; break; }
        else break;
    }
    if (i >= argc) { fprintf(stderr, "screenprobe: launch needs a command\n"); return 1; }
    char **command = argv + i;

    Display *dpy = XOpenDisplay(NULL);
    if (!dpy) { fprintf(stderr, "screenprobe: cannot open display\n"); return 1; }
    int sw = DisplayWidth(dpy, DefaultScreen(dpy)), sh = DisplayHeight(dpy, DefaultScreen(dpy));
    if (aw > 0 && ah > 0 && aw <= sw && ah <= sh) sw = aw, sh = ah;
    const int panelWidth = scaled(kPanelWidth, k), panelHeight = scaled(kPanelHeight, k);
    const int bandLeft = scaled(kUnitsBandLeft, k), bandWidth = scaled(kUnitsBandWidth, k);
    const int digitHeight = scaled(kDigitHeight, k);
    int px = (sw - panelWidth) / 2, py = (sh - panelHeight) / 2;
    unsigned long black = pixel_of(dpy, 0, 0, 0);
    unsigned long lit_colour = pixel_of(dpy, lit_rgb >> 16, (lit_rgb >> 8) & 0xFF, lit_rgb & 0xFF);
    int rows[kGridRows + 1], nrows = 0;
    for (int k = 0; k <= kGridRows; ++k) {
        int y = k == kGridRows ? sh - 1 : k * sh / kGridRows;
        if (y >= py && y < py + panelHeight) continue;  /* the clock may be there */
        rows[nrows++] = y;
    }

    int already = 1;
    for (int k = 0; k < nrows && already; ++k) already = scan(dpy, 0, rows[k], sw, 1, black, 1);
    if (already) {
        fprintf(stderr, "screenprobe: the screen is already black\n");
        XCloseDisplay(dpy);
        return 3;
    }

    fflush(stdout);
    double t0 = now_ms();
    pid_t pid = fork();
    if (pid < 0) { perror("screenprobe: fork"); return 1; }
    if (pid == 0) {
        close(ConnectionNumber(dpy));
        execvp(command[0], command);
        fprintf(stderr, "screenprobe: cannot run %s: %s\n", command[0], strerror(errno));
        _exit(127);
    }

    double covered = -1, lit = -1;
    const double deadline = t0 + timeout_s * 1e3;
    for (;;) {
        double t = now_ms();
        if (covered < 0) {
            int all = 1;
            for (int k = 0; k < nrows && all; ++k) all = scan(dpy, 0, rows[k], sw, 1, black, 1);
            if (all) covered = t - t0;
        }
        if (digits && lit < 0 && scan(dpy, px + bandLeft, py, bandWidth, digitHeight, lit_colour, 0))
            lit = t - t0;
        if (covered >= 0 && (!digits || lit >= 0)) break;
        if (t > deadline) break;
        struct timespec pause = {0, kPollMicros * 1000L};
        nanosleep(&pause, NULL);
    }
    printf("pid=%d", (int)pid);
    print_ms("covered_ms", covered);
    if (digits) print_ms("digits_ms", lit);
    printf("\n");
    fflush(stdout);
    fclose(stdout);
    XCloseDisplay(dpy);
    while (waitpid(pid, NULL, 0) < 0 && errno == EINTR) {
    }
    return (covered >= 0 && (!digits || lit >= 0)) ? 0 : 2;
}

int main(int argc, char **argv) {
    if (argc >= 3 && !strcmp(argv[1], "paint-root")) return paint_root(argv[2]);
    if (argc >= 3 && !strcmp(argv[1], "launch")) return launch(argc - 2, argv + 2);
    fprintf(stderr, "usage: screenprobe paint-root RRGGBB\n"
                    "       screenprobe launch [--timeout S] [--digits] [--scale K] [--colour RRGGBB] [--area WxH]"
                    " -- COMMAND [ARG...]\n");
    return 1;
}
