/* frame_probe: watches a small screen area for the benchmark clips' marker colours and prints
 * CLOCK_MONOTONIC times (ns).
 *
 *   frame_probe X Y W H [FAST_MS SLOW_MS]
 *
 * The clips carry a box whose colour steps through four shades of pink, one per frame
 * (frame n has shade n mod 4), and turns spring green for their last second. The probe prints
 *   ready <ns>              once connected to the display,
 *   start <ns>              when a pink shade first covers most of the area (first frame shown),
 *   end <ns> <frames>       when the green does, with the number of frames seen in between,
 * then exits. A frame counts when the shade changes, so a run of exactly four dropped frames in
 * a row goes unnoticed; the count is for comparing programs, not for auditing one. Polling is
 * fast (FAST_MS, default 2) until the first frame and slower afterwards (SLOW_MS, default 4), so
 * the probe takes next to no CPU from the program it measures, yet sees every frame of a
 * 30 fps clip. It reads the root window, so it sees any program's window drawn by any renderer. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

enum { kShades = 4, kNoColour = -1, kEndColour = kShades };
static const int kShadeGreen[kShades] = {40, 100, 160, 220};
/* Most of the area, not all: scaler ringing and dithering touch the box's edges. */
static const double kCoverage = 0.6;

static long long now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

static int channel(unsigned long pixel, unsigned long mask)
{
    if (!mask)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const unsigned long max = mask >> shift;
    return (int)(((pixel & mask) >> shift) * 255 / max);
}

/* Which marker colour a pixel shows: a shade index, kEndColour, or kNoColour. */
static int classify(int r, int g, int b)
{
    if (r >= 223 && b >= 223) {
        for (int shade = 0; shade < kShades; ++shade)
            if (abs(g - kShadeGreen[shade]) <= 24)
                return shade;
        return kNoColour;
    }
    /* The CPU converters (mpv's X11 output, the player's software surface) map the clip's
     * SMPTE-C green onto the display's BT.709 primaries: red comes out near 75, not 0. */
    if (r <= 100 && g >= 223 && abs(b - 128) <= 32)
        return kEndColour;
    return kNoColour;
}

static void sleep_ms(int ms)
{
    struct timespec ts = {ms / 1000, (long)(ms % 1000) * 1000000L};
    nanosleep(&ts, NULL);
}

/* The colour covering most of the area, or kNoColour. */
static int dominant_colour(XImage *image, int w, int h)
{
    int counts[kShades + 1] = {0};
    for (int row = 0; row < h; ++row) {
        for (int col = 0; col < w; ++col) {
            const unsigned long pixel = XGetPixel(image, col, row);
            const int colour = classify(channel(pixel, image->red_mask), channel(pixel, image->green_mask),
                                        channel(pixel, image->blue_mask));
            if (colour != kNoColour)
                ++counts[colour];
        }
    }
    for (int colour = 0; colour <= kShades; ++colour)
        if (counts[colour] >= (int)(w * h * kCoverage))
            return colour;
    return kNoColour;
}

int main(int argc, char **argv)
{
    if (argc != 5 && argc != 7) {
        fprintf(stderr, "usage: %s X Y W H [FAST_MS SLOW_MS]\n", argv[0]);
        return 2;
    }
    const int x = atoi(argv[1]), y = atoi(argv[2]), w = atoi(argv[3]), h = atoi(argv[4]);
    const int fast_ms = argc == 7 ? atoi(argv[5]) : 2;
    const int slow_ms = argc == 7 ? atoi(argv[6]) : 4;
    if (w <= 0 || h <= 0) {
        fprintf(stderr, "frame_probe: empty area\n");
        return 2;
    }
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "frame_probe: cannot open display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    setvbuf(stdout, NULL, _IOLBF, 0);
    printf("ready %lld\n", now_ns());

    int last_shade = kNoColour;
    long frames = 0;
    for (;;) {
        XImage *image = XGetImage(display, root, x, y, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
        const long long stamp = now_ns();
        if (!image) {
            fprintf(stderr, "frame_probe: XGetImage failed\n");
            return 1;
        }
        const int colour = dominant_colour(image, w, h);
        XDestroyImage(image);
        if (colour >= 0 && colour < kShades) {
            if (last_shade == kNoColour)
                printf("start %lld\n", stamp);
            if (colour != last_shade)
                ++frames;
            last_shade = colour;
        } else if (colour == kEndColour && last_shade != kNoColour) {
            /* Only after the first frame: a leftover picture of an earlier run must never end a
             * measurement that has not begun. */
            printf("end %lld %ld\n", stamp, frames);
            break;
        }
        sleep_ms(last_shade == kNoColour ? fast_ms : slow_ms);
    }
    XCloseDisplay(display);
    return 0;
}
