/* Starts a program and reports, from outside it, how long after exec its
 * first top-level window is mapped and first painted (more than one colour
 * on it), and its peak resident memory a moment later. Listening on the X
 * server before the program starts means no query races the program's own
 * connection.
 * Usage: watch PROGRAM
 * Prints "<ms to painted> <peak RSS in KiB> <CPU ms until painted> <ms to mapped>". */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static long peak_rss_kib(pid_t pid) {
    char path[64], line[256];
    long kib = -1;
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f) return -1;
    while (fgets(line, sizeof line, f))
        if (sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    fclose(f);
    return kib;
}

/* User and system time of the process so far, which a busy machine
 * disturbs less than the wall clock. */
static double cpu_ms(pid_t pid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f) return -1;
    char buffer[1024];
    size_t n = fread(buffer, 1, sizeof buffer - 1, f);
    fclose(f);
    buffer[n] = '\0';
    const char* p = strrchr(buffer, ')');
    unsigned long utime = 0, stime = 0;
    if (!p || sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                     &stime) != 2)
        return -1;
    return (double)(utime + stime) * 1000.0 / (double)sysconf(_SC_CLK_TCK);
}

static int painted(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return 0;
    XImage* image = XGetImage(display, window, 0, 0, (unsigned)attributes.width,
                              (unsigned)attributes.height, AllPlanes, ZPixmap);
    if (!image) return 0;
    const unsigned long first = XGetPixel(image, 0, 0);
    int differs = 0;
    for (int y = 0; y < image->height && !differs; ++y)
        for (int x = 0; x < image->width && !differs; ++x)
            differs = XGetPixel(image, x, y) != first;
    XDestroyImage(image);
    return differs;
}

int main(int argc, char* argv[]) {
    if (argc < 2) {
        fprintf(stderr, "usage: watch PROGRAM [ARGS]\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "watch: no X display\n");
        return 2;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const double start = now_ms();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[1], argv + 1);
        _exit(127);
    }
    double shown = -1, mapped = -1, cpu = -1;
    Window window = 0;
    const int fd = ConnectionNumber(display);
    while (shown < 0 && now_ms() - start < 20000) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && mapped < 0) {
                mapped = now_ms() - start;
                window = event.xmap.window;
            }
        }
        if (mapped >= 0) {
            if (painted(display, window)) {
                shown = now_ms() - start;
                cpu = cpu_ms(pid);
                break;
            }
            usleep(1000);
            continue;
        }
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        struct timeval timeout = {0, 100000};
        select(fd + 1, &fds, NULL, NULL, &timeout);
        if (waitpid(pid, NULL, WNOHANG) == pid) {
            fprintf(stderr, "watch: %s ended before showing a window\n", argv[1]);
            return 1;
        }
    }
    usleep(1000 * 1000); /* let it paint and settle */
    const long rss = peak_rss_kib(pid);
    kill(pid, SIGTERM);
    waitpid(pid, NULL, 0);
    XCloseDisplay(display);
    if (shown < 0) {
        fprintf(stderr, "watch: no window within 20 s\n");
        return 1;
    }
    printf("%.1f %ld %.0f %.1f\n", shown, rss, cpu, mapped);
    return 0;
}
