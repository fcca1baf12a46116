/*
 * Disk faults on demand for the drills, preloaded into the program.
 *
 * HIBI_FAULT_CONTROL names a file read on every call that touches a data file
 * (a name holding ヒビノボリ, or an unnamed temp file made in the working
 * directory). Missing or empty: nothing changes. Otherwise its words:
 *   open write fsync link rename   the calls to fail
 *   EIO                            fail with EIO (default ENOSPC)
 *   delay=N                        sleep 0..N ms before each such call instead
 *   tmpfile                        refuse O_TMPFILE, so Qt names its temp file
 * HIBI_FAULT_LOG gets "> call" before and "< call result" after each such call.
 *
 * Every call goes straight to the kernel, so nothing here needs dlsym.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#define MAX_FDS 4096
static char data_fd[MAX_FDS];

static void log_call(const char* format, const char* call, long result) {
    const char* path = getenv("HIBI_FAULT_LOG");
    if (!path || !*path) return;
    char line[128];
    const int n = snprintf(line, sizeof line, format, call, result);
    const long fd = syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    syscall(SYS_write, fd, line, (size_t)n);
    syscall(SYS_close, fd);
}

/* The control file's text, or "" while nothing is armed. */
static const char* control(void) {
    static _Thread_local char text[256];
    const char* path = getenv("HIBI_FAULT_CONTROL");
    const long fd = path && *path ? syscall(SYS_openat, AT_FDCWD, path, O_RDONLY | O_CLOEXEC) : -1;
    const long n = fd < 0 ? 0 : syscall(SYS_read, fd, text, sizeof text - 1);
    if (fd >= 0) syscall(SYS_close, fd);
    text[n > 0 ? n : 0] = '\0';
    return text;
}

/* Before a data file's call: logs it, sleeps on a slow disk, and returns
 * nonzero (errno set) when the call must fail. */
static int refused(const char* call) {
    const char* text = control();
    log_call("> %s\n", call, 0);
    if (!strstr(text, call)) return 0;
    const char* delay = strstr(text, "delay=");
    if (delay) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        usleep((useconds_t)(now.tv_nsec % (atol(delay + 6) + 1) * 1000));
        return 0;
    }
    errno = strstr(text, "EIO") ? EIO : ENOSPC;
    log_call("< %s failed %ld\n", call, errno);
    return 1;
}

static long done(const char* call, long result) {
    const int saved = errno;
    log_call("< %s %ld\n", call, result);
    errno = saved;
    return result;
}

static int names_data_file(const char* path) {
    const char* base = path ? strrchr(path, '/') : NULL;
    return path && strstr(base ? base + 1 : path, "\xe3\x83\x92\xe3\x83\x93\xe3\x83\x8e\xe3\x83\x9c\xe3\x83\xaa");
}

/* A descriptor closed behind our back may come back as a pipe or a socket. */
static int is_data_fd(int fd) {
    struct stat st;
    return fd >= 0 && fd < MAX_FDS && data_fd[fd] && fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

static int opened(int dirfd, const char* path, int flags, va_list args) {
    const int unnamed = (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = (flags & O_CREAT) || unnamed ? (mode_t)va_arg(args, int) : 0;
    char dir[PATH_MAX], cwd[PATH_MAX];
    const int data = unnamed ? dirfd == AT_FDCWD && realpath(path, dir) && getcwd(cwd, sizeof cwd) &&
                                   strcmp(dir, cwd) == 0
                             : names_data_file(path) && (flags & (O_WRONLY | O_RDWR | O_CREAT));
    long fd;
    if (!data) {
        fd = syscall(SYS_openat, dirfd, path, flags, mode);
    } else if (unnamed && strstr(control(), "tmpfile")) {
        errno = EOPNOTSUPP;
        fd = -1;
    } else {
        fd = refused("open") ? -1 : done("open", syscall(SYS_openat, dirfd, path, flags, mode));
    }
    if (fd >= 0 && fd < MAX_FDS) data_fd[fd] = (char)data;
    return (int)fd;
}

#define OPEN(name, dir, ...)                                   \
    int name(__VA_ARGS__ const char* path, int flags, ...) {   \
        va_list args;                                          \
        va_start(args, flags);                                 \
        const int fd = opened(dir, path, flags, args);         \
        va_end(args);                                          \
        return fd;                                             \
    }
OPEN(open, AT_FDCWD, )
OPEN(open64, AT_FDCWD, )
OPEN(openat, dirfd, int dirfd, )
OPEN(openat64, dirfd, int dirfd, )

int close(int fd) {
    if (fd >= 0 && fd < MAX_FDS) data_fd[fd] = 0;
    return (int)syscall(SYS_close, fd);
}

ssize_t write(int fd, const void* buffer, size_t count) {
    if (!is_data_fd(fd)) return syscall(SYS_write, fd, buffer, count);
    return refused("write") ? -1 : done("write", syscall(SYS_write, fd, buffer, count));
}

int fdatasync(int fd) {
    if (!is_data_fd(fd)) return (int)syscall(SYS_fdatasync, fd);
    return refused("fsync") ? -1 : (int)done("fsync", syscall(SYS_fdatasync, fd));
}

int fsync(int fd) {
    if (!is_data_fd(fd)) return (int)syscall(SYS_fsync, fd);
    return refused("fsync") ? -1 : (int)done("fsync", syscall(SYS_fsync, fd));
}

/* Qt links an unnamed temp file (/proc/self/fd/N) to a name to commit it. */
int linkat(int olddir, const char* old, int newdir, const char* new, int flags) {
    if (!names_data_file(new)) return (int)syscall(SYS_linkat, olddir, old, newdir, new, flags);
    return refused("link") ? -1 : (int)done("link", syscall(SYS_linkat, olddir, old, newdir, new, flags));
}

int link(const char* old, const char* new) {
    return linkat(AT_FDCWD, old, AT_FDCWD, new, 0);
}

int renameat2(int olddir, const char* old, int newdir, const char* new, unsigned flags) {
    if (!names_data_file(old) && !names_data_file(new))
        return (int)syscall(SYS_renameat2, olddir, old, newdir, new, flags);
    return refused("rename") ? -1 : (int)done("rename", syscall(SYS_renameat2, olddir, old, newdir, new, flags));
}

int renameat(int olddir, const char* old, int newdir, const char* new) {
    return renameat2(olddir, old, newdir, new, 0);
}

int rename(const char* old, const char* new) {
    return renameat2(AT_FDCWD, old, AT_FDCWD, new, 0);
}
