/*
 * map_timer: starts a program and times it on the X server it runs on.
 *
 *   map_timer --title TITLE [--settle MS] [--click X,Y --watch FILE]
 *             [--preload LIB] [--timeout MS] -- PROGRAM [ARGS...]
 *
 * The root window's SubstructureNotify events are selected before the fork,
 * so no map can be missed; the clock (CLOCK_MONOTONIC) starts just before
 * fork() and stops when the MapNotify of a top-level window whose
 * _NET_WM_NAME (or WM_NAME) is exactly TITLE reaches us. This needs a display
 * without a window manager (the bench's own Xvfb), where top-level windows
 * are children of the root. --preload sets LD_PRELOAD for the program only,
 * after the fork, so that the timer itself runs without it.
 *
 * After the map it waits --settle milliseconds (default 1000) for the first
 * paint and whatever follows it, then reads VmHWM and VmRSS of the program
 * from /proc.
 *
 * With --click, it then moves the pointer over client coordinates X,Y of
 * that window, waits 100 ms, and sends a press and release of button 1
 * through XTEST; the clock starts just before the press and stops when FILE
 * has been written or renamed into place (inotify on its directory) with a
 * size other than before the click.
 *
 * Prints one line: map_ms=... hwm_kib=... rss_kib=... [click_ms=...]
 * Then ends the program (SIGTERM, SIGKILL after 3 s). Exit status 0 on
 * success, 2 on a timeout or when the program ended early.
 *
 * Build: cc -O2 -o map_timer map_timer.c -lXtst -lX11
 */
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <errno.h>
#include <fcntl.h>
#include <libgen.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec * 1e3 + (double)ts.tv_nsec / 1e6;
}

static pid_t child = -1;

static void end_child(void) {
    if (child <= 0) {
        return;
    }
    kill(child, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(child, NULL, WNOHANG) == child) {
            child = -1;
            return;
        }
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, NULL, 0);
    child = -1;
}

static void fail(const char* what) {
    fprintf(stderr, "map_timer: %s\n", what);
    end_child();
    exit(2);
}

static int child_alive(void) {
    int status;
    pid_t r = waitpid(child, &status, WNOHANG);
    if (r == child) {
        child = -1;
        return 0;
    }
    return 1;
}

/* 1 when the window's title is exactly `title`. */
static int title_is(Display* dpy, Window w, const char* title) {
    static Atom net_wm_name = None, utf8 = None;
    if (net_wm_name == None) {
        net_wm_name = XInternAtom(dpy, "_NET_WM_NAME", False);
        utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    }
    Atom props[2] = {net_wm_name, XA_WM_NAME};
    for (int i = 0; i < 2; ++i) {
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char* data = NULL;
        if (XGetWindowProperty(dpy, w, props[i], 0, 1024, False,
                               i == 0 ? utf8 : AnyPropertyType, &type, &format, &n, &after,
                               &data) == Success &&
            data) {
            int same = format == 8 && n == strlen(title) && memcmp(data, title, n) == 0;
            XFree(data);
            if (same) {
                return 1;
            }
        }
    }
    return 0;
}

static long proc_status_kib(pid_t pid, const char* key) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f) {
        return -1;
    }
    char line[256];
    long value = -1;
    size_t klen = strlen(key);
    while (fgets(line, sizeof line, f)) {
        if (strncmp(line, key, klen) == 0 && line[klen] == ':') {
            value = strtol(line + klen + 1, NULL, 10);
            break;
        }
    }
    fclose(f);
    return value;
}

/* Handles X events for `ms` milliseconds (keeps the connection drained). */
static void pump(Display* dpy, double ms) {
    double until = now_ms() + ms;
    for (;;) {
        while (XPending(dpy)) {
            XEvent ev;
            XNextEvent(dpy, &ev);
        }
        double left = until - now_ms();
        if (left <= 0) {
            return;
        }
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, (int)(left + 1));
    }
}

static long long file_size(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 ? (long long)st.st_size : -1;
}

int main(int argc, char* argv[]) {
    const char* title = NULL;
    const char* watch = NULL;
    const char* preload = NULL;
    int click = 0, cx = 0, cy = 0;
    double settle = 1000, timeout = 30000;
    int i = 1;
    for (; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        } else if (strcmp(argv[i], "--title") == 0 && i + 1 < argc) {
            title = argv[++i];
        } else if (strcmp(argv[i], "--settle") == 0 && i + 1 < argc) {
            settle = atof(argv[++i]);
        } else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeout = atof(argv[++i]);
        } else if (strcmp(argv[i], "--preload") == 0 && i + 1 < argc) {
            preload = argv[++i];
        } else if (strcmp(argv[i], "--watch") == 0 && i + 1 < argc) {
            watch = argv[++i];
        } else if (strcmp(argv[i], "--click") == 0 && i + 1 < argc) {
            if (sscanf(argv[++i], "%d,%d", &cx, &cy) != 2) {
                fail("--click wants X,Y");
            }
            click = 1;
        } else {
            fprintf(stderr, "map_timer: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    if (!title || i >= argc || (click && !watch)) {
        fprintf(stderr,
                "usage: map_timer --title TITLE [--settle MS] [--click X,Y --watch FILE] "
                "[--preload LIB] [--timeout MS] -- PROGRAM [ARGS...]\n");
        return 2;
    }

    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fail("cannot open the display");
    }
    fcntl(ConnectionNumber(dpy), F_SETFD, FD_CLOEXEC);
    Window root = DefaultRootWindow(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);

    const double start = now_ms();
    child = fork();
    if (child < 0) {
        fail("fork failed");
    }
    if (child == 0) {
        if (preload) {
            setenv("LD_PRELOAD", preload, 1);
        }
        execvp(argv[i], argv + i);
        _exit(127);
    }

    /* Start-up: until the titled top-level window is mapped. */
    Window target = None;
    double mapped = 0;
    while (target == None) {
        while (XPending(dpy)) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.type == MapNotify && ev.xmap.event == root && title_is(dpy, ev.xmap.window, title)) {
                mapped = now_ms();
                target = ev.xmap.window;
                break;
            }
        }
        if (target != None) {
            break;
        }
        if (now_ms() - start > timeout) {
            fail("timed out waiting for the window");
        }
        if (!child_alive()) {
            fail("the program ended before its window was mapped");
        }
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, 5);
    }
    XSelectInput(dpy, root, NoEventMask);

    pump(dpy, settle);
    if (!child_alive()) {
        fail("the program ended after mapping its window");
    }
    long hwm = proc_status_kib(child, "VmHWM");
    long rss = proc_status_kib(child, "VmRSS");
    printf("map_ms=%.3f hwm_kib=%ld rss_kib=%ld", mapped - start, hwm, rss);

    if (click) {
        int ev_base, err_base, major, minor;
        if (!XTestQueryExtension(dpy, &ev_base, &err_base, &major, &minor)) {
            fail("the display has no XTEST extension");
        }
        char* dir_copy = strdup(watch);
        char* base_copy = strdup(watch);
        const char* dir = dirname(dir_copy);
        const char* base = basename(base_copy);
        int in = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (in < 0 || inotify_add_watch(in, dir, IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE) < 0) {
            fail("cannot watch the ledger's directory");
        }
        int rx, ry;
        Window unused;
        XTranslateCoordinates(dpy, target, root, cx, cy, &rx, &ry, &unused);
        int screen = DefaultScreen(dpy);
        XTestFakeMotionEvent(dpy, screen, 0, 0, CurrentTime);
        XTestFakeMotionEvent(dpy, screen, rx, ry, CurrentTime);
        XSync(dpy, False);
        pump(dpy, 100);
        const long long before = file_size(watch);

        const double pressed = now_ms();
        XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
        XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
        XFlush(dpy);
        double written = 0;
        char buf[4096] __attribute__((aligned(__alignof__(struct inotify_event))));
        while (written == 0) {
            struct pollfd p = {in, POLLIN, 0};
            poll(&p, 1, 5);
            ssize_t len;
            while ((len = read(in, buf, sizeof buf)) > 0) {
                for (char* ptr = buf; ptr < buf + len;) {
                    const struct inotify_event* e = (const struct inotify_event*)ptr;
                    if (written == 0 && e->len && strcmp(e->name, base) == 0 &&
                        file_size(watch) != before) {
                        written = now_ms();
                    }
                    ptr += sizeof(struct inotify_event) + e->len;
                }
            }
            while (XPending(dpy)) {
                XEvent ev;
                XNextEvent(dpy, &ev);
            }
            if (written == 0 && now_ms() - pressed > timeout) {
                fail("timed out waiting for the ledger to change");
            }
        }
        printf(" click_ms=%.3f", written - pressed);
        close(in);
        free(dir_copy);
        free(base_copy);
    }
    printf("\n");
    fflush(stdout);
    end_child();
    XCloseDisplay(dpy);
    return 0;
}
