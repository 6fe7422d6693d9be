/* Start-up time of a windowed program to its first complete paint, seen from
 * the X server the way a person sees it (host program, built and run by
 * scripts/bench-startup.sh; not part of the Windows build).
 *
 *   paint-watch TITLE SETTLE_MS -- COMMAND [ARGS...]
 *
 * Starts COMMAND, then samples the pixels of the viewable top-level window
 * named TITLE every few milliseconds. Once the window has existed for
 * SETTLE_MS, the pictures seen in the last third of that time are the
 * settled look (a blinking caret gives two of them); the result is the time
 * from the start of COMMAND to the first sample that already showed one of
 * them. Prints that time in seconds and kills COMMAND (its process id only).
 * Exit code 1 when the window never appeared (60 s) or never settled.
 */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { kMaxSamples = 20000, kIntervalUs = 4000 };

struct Sample {
    double time;
    uint64_t hash;
};

static struct Sample samples[kMaxSamples];
static int sampleCount;

static double Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static uint64_t Hash(const unsigned char* bytes, size_t length, uint64_t hash)
{
    for (size_t i = 0; i < length; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ULL;
    }
    return hash;
}

static int HasTitle(Display* display, Window window, const char* title)
{
    static Atom netName = None, utf8 = None;
    if (netName == None) {
        netName = XInternAtom(display, "_NET_WM_NAME", False);
        utf8 = XInternAtom(display, "UTF8_STRING", False);
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* value = NULL;
    int match = 0;
    if (XGetWindowProperty(display, window, netName, 0, 256, False, utf8, &type, &format, &count, &after, &value) ==
            Success &&
        value != NULL) {
        match = strcmp((const char*)value, title) == 0;
        XFree(value);
        if (match) return 1;
    }
    char* name = NULL;
    if (XFetchName(display, window, &name) && name != NULL) {
        match = strcmp(name, title) == 0;
        XFree(name);
    }
    return match;
}

/* The viewable top-level window named `title`, or None. */
static Window FindWindow(Display* display, const char* title)
{
    Window root = DefaultRootWindow(display), parent, *children = NULL;
    unsigned int count = 0;
    Window found = None;
    if (!XQueryTree(display, root, &root, &parent, &children, &count)) return None;
    for (unsigned int i = 0; i < count && found == None; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes)) continue;
        if (attributes.map_state != IsViewable) continue;
        if (HasTitle(display, children[i], title)) found = children[i];
    }
    if (children) XFree(children);
    return found;
}

static int IgnoreErrors(Display* display, XErrorEvent* event)
{
    (void)display;
    (void)event;
    return 0;
}

int main(int argc, char** argv)
{
    if (argc < 5 || strcmp(argv[3], "--") != 0) {
        fprintf(stderr, "usage: %s TITLE SETTLE_MS -- COMMAND [ARGS...]\n", argv[0]);
        return 2;
    }
    const char* title = argv[1];
    const double settle = atof(argv[2]) / 1000.0;
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "paint-watch: no X display\n");
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);

    const double start = Now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[4], argv + 4);
        _exit(127);
    }
    if (child < 0) return 2;

    Window window = None;
    double appeared = 0;
    int result = 1;
    while (Now() - start < 60.0) {
        if (window == None) {
            window = FindWindow(display, title);
            if (window != None) appeared = Now();
        }
        if (window != None) {
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable) {
                XImage* image = XGetImage(display, window, 0, 0, (unsigned)attributes.width,
                                          (unsigned)attributes.height, AllPlanes, ZPixmap);
                if (image != NULL) {
                    uint64_t hash = Hash((const unsigned char*)&attributes.width, sizeof(int), 14695981039346656037ULL);
                    hash = Hash((const unsigned char*)&attributes.height, sizeof(int), hash);
                    hash = Hash((const unsigned char*)image->data,
                                (size_t)image->bytes_per_line * (size_t)image->height, hash);
                    XDestroyImage(image);
                    if (sampleCount < kMaxSamples) samples[sampleCount++] = (struct Sample){Now(), hash};
                }
            }
            if (Now() - appeared >= settle) {
                result = 0;
                break;
            }
        }
        const struct timespec pause = {0, kIntervalUs * 1000L};
        nanosleep(&pause, NULL);
    }
    kill(child, SIGKILL);
    waitpid(child, NULL, 0);
    if (result != 0 || sampleCount == 0) {
        fprintf(stderr, "paint-watch: \"%s\" %s\n", title, window == None ? "never appeared" : "never settled");
        return 1;
    }

    if (getenv("PAINT_WATCH_TRACE") != NULL) {
        for (int i = 0; i < sampleCount; ++i) {
            if (i == 0 || samples[i].hash != samples[i - 1].hash)
                fprintf(stderr, "%.3f %016llx\n", samples[i].time - start, (unsigned long long)samples[i].hash);
        }
    }
    const double end = samples[sampleCount - 1].time;
    const double settledFrom = end - settle / 3.0;
    for (int i = 0; i < sampleCount; ++i) {
        int settled = 0;
        for (int j = sampleCount - 1; j >= 0 && samples[j].time >= settledFrom; --j) {
            if (samples[j].hash == samples[i].hash) {
                settled = 1;
                break;
            }
        }
        if (settled) {
            printf("%.3f\n", samples[i].time - start);
            return 0;
        }
    }
    return 1;
}
