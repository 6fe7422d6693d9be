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
 *
 * A sample costs little: the pixels come through shared memory (MIT-SHM,
 * when the server has it) and are hashed a word at a time. A sample taken
 * through the socket and hashed a byte at a time kept about one of this
 * machine's two cores busy between the watcher and the X server, which
 * slowed most the program that still had work to do after its window had
 * shown.
 */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ipc.h>
#include <sys/shm.h>
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
    size_t i = 0;
    for (; i + sizeof(uint64_t) <= length; i += sizeof(uint64_t)) {
        uint64_t word;
        memcpy(&word, bytes + i, sizeof word);
        hash ^= word;
        hash *= 1099511628211ULL;
    }
    for (; i < length; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ULL;
    }
    return hash;
}

/* The window's pixels: through a shared-memory image of the window's size
 * when the server allows it, else through the socket. */
struct Grabber {
    int shmAvailable;
    XImage* image;
    XShmSegmentInfo segment;
};

static void DropShmImage(Display* display, struct Grabber* grabber)
{
    if (grabber->image == NULL) return;
    XShmDetach(display, &grabber->segment);
    XSync(display, False);
    XDestroyImage(grabber->image);
    shmdt(grabber->segment.shmaddr);
    grabber->image = NULL;
}

static int PrepareShmImage(Display* display, struct Grabber* grabber, const XWindowAttributes* attributes)
{
    if (grabber->image != NULL && grabber->image->width == attributes->width &&
        grabber->image->height == attributes->height && grabber->image->depth == attributes->depth) {
        return 1;
    }
    DropShmImage(display, grabber);
    XImage* image = XShmCreateImage(display, attributes->visual, (unsigned)attributes->depth, ZPixmap, NULL,
                                    &grabber->segment, (unsigned)attributes->width, (unsigned)attributes->height);
    if (image == NULL) return 0;
    grabber->segment.shmid = shmget(IPC_PRIVATE, (size_t)image->bytes_per_line * (size_t)image->height, IPC_CREAT | 0600);
    if (grabber->segment.shmid < 0) {
        XDestroyImage(image);
        return 0;
    }
    grabber->segment.shmaddr = image->data = shmat(grabber->segment.shmid, NULL, 0);
    shmctl(grabber->segment.shmid, IPC_RMID, NULL); /* freed once both sides detach */
    grabber->segment.readOnly = False;
    if (grabber->segment.shmaddr == (char*)-1 || !XShmAttach(display, &grabber->segment)) {
        if (grabber->segment.shmaddr != (char*)-1) shmdt(grabber->segment.shmaddr);
        image->data = NULL;
        XDestroyImage(image);
        return 0;
    }
    XSync(display, False);
    grabber->image = image;
    return 1;
}

/* Hashes the window's current pixels into *hash; 0 when they could not be read. */
static int GrabHash(Display* display, struct Grabber* grabber, Window window, const XWindowAttributes* attributes,
                    double* when, uint64_t* hash)
{
    XImage* image = NULL;
    int shared = 0;
    if (grabber->shmAvailable && PrepareShmImage(display, grabber, attributes) &&
        XShmGetImage(display, window, grabber->image, 0, 0, AllPlanes)) {
        image = grabber->image;
        shared = 1;
    } else {
        image = XGetImage(display, window, 0, 0, (unsigned)attributes->width, (unsigned)attributes->height, AllPlanes,
                          ZPixmap);
    }
    if (image == NULL) return 0;
    *when = Now();
    uint64_t h = Hash((const unsigned char*)&attributes->width, sizeof(int), 14695981039346656037ULL);
    h = Hash((const unsigned char*)&attributes->height, sizeof(int), h);
    *hash = Hash((const unsigned char*)image->data, (size_t)image->bytes_per_line * (size_t)image->height, h);
    if (!shared) XDestroyImage(image);
    return 1;
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
    struct Grabber grabber = {0};
    grabber.shmAvailable = getenv("PAINT_WATCH_NO_SHM") == NULL && XShmQueryExtension(display);

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
                double when = 0;
                uint64_t hash = 0;
                if (GrabHash(display, &grabber, window, &attributes, &when, &hash) && sampleCount < kMaxSamples) {
                    samples[sampleCount++] = (struct Sample){when, hash};
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
    DropShmImage(display, &grabber);
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
