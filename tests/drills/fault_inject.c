/*
 * Disk faults on demand for the drills, preloaded into the program.
 *
 * HIBI_FAULT_CONTROL names a file read at every call on a data file (a name
 * holding ヒビノボリ, or an unnamed temp file: the program makes no other).
 * Missing or empty: nothing changes. Otherwise its words:
 *   open write fsync link rename   the calls to fail, with ENOSPC (or EIO: with EIO)
 *   delay=N                        sleep 0..N ms before each such call instead
 *   tmpfile                        refuse O_TMPFILE, so that Qt names its temp file
 *   readonly                       a folder that takes no new file: access(W_OK) and
 *                                  creating a data file (or an unnamed one) fail, EACCES
 * HIBI_FAULT_LOG gets "> call" before and "< call result" after each such call.
 *
 * Every call goes straight to the kernel, so nothing here needs dlsym.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

static char data_fd[4096];

/* Reads into text, or writes from it, the file the environment variable names. */
static long transfer(const char* variable, int flags, char* text, size_t size) {
    const char* path = getenv(variable);
    const long fd = path && *path ? syscall(SYS_openat, AT_FDCWD, path, flags | O_CLOEXEC, 0644) : -1;
    const long n = fd < 0 ? 0 : syscall(flags ? SYS_write : SYS_read, fd, text, size);
    if (fd >= 0) syscall(SYS_close, fd);
    return n;
}

static void log_call(const char* format, const char* call, long result) {
    char line[128];
    const int n = snprintf(line, sizeof line, format, call, result);
    transfer("HIBI_FAULT_LOG", O_WRONLY | O_APPEND | O_CREAT, line, (size_t)n);
}

/* The control file's text, or "" while nothing is armed. */
static const char* control(void) {
    static _Thread_local char text[256];
    const long n = transfer("HIBI_FAULT_CONTROL", O_RDONLY, text, sizeof text - 1);
    text[n > 0 ? n : 0] = '\0';
    return text;
}

/* The system call, unless it is on a data file and armed to fail (errno set, -1). */
static long faulty(const char* call, int data, long number, long a, long b, long c, long d, long e) {
    if (!data) return syscall(number, a, b, c, d, e);
    const char* text = control();
    log_call("> %s\n", call, 0);
    const char* delay = strstr(text, "delay=");
    if (strstr(text, call) && delay) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        usleep((useconds_t)(now.tv_nsec % (atol(delay + 6) + 1) * 1000));
    } else if (strstr(text, call)) {
        errno = strstr(text, "EIO") ? EIO : ENOSPC;
        return -1;
    }
    const long result = syscall(number, a, b, c, d, e);
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
    return fd >= 0 && fd < (int)sizeof data_fd && data_fd[fd] && fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

int open(const char* path, int flags, ...) {
    const int unnamed = (flags & O_TMPFILE) == O_TMPFILE;  // Qt's QSaveFile, on a data file
    va_list args;
    va_start(args, flags);
    const long mode = (flags & O_CREAT) || unnamed ? va_arg(args, int) : 0;
    va_end(args);
    const int data = unnamed || (names_data_file(path) && (flags & (O_WRONLY | O_RDWR | O_CREAT)));
    const int creates = unnamed || ((flags & O_CREAT) && syscall(SYS_faccessat, AT_FDCWD, path, F_OK, 0));
    long fd = -1;
    if (data && unnamed && strstr(control(), "tmpfile")) {
        errno = EOPNOTSUPP;
    } else if (data && creates && strstr(control(), "readonly")) {
        errno = EACCES;
    } else {
        fd = faulty("open", data, SYS_openat, AT_FDCWD, (long)path, flags, mode, 0);
    }
    if (fd >= 0 && fd < (long)sizeof data_fd) data_fd[fd] = (char)data;
    return (int)fd;
}
extern __typeof(open) open64 __attribute__((alias("open")));

int close(int fd) {
    if (fd >= 0 && fd < (int)sizeof data_fd) data_fd[fd] = 0;
    return (int)syscall(SYS_close, fd);
}

ssize_t write(int fd, const void* buffer, size_t count) {
    return faulty("write", is_data_fd(fd), SYS_write, fd, (long)buffer, (long)count, 0, 0);
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    return faulty("write", is_data_fd(fd), SYS_pwrite64, fd, (long)buffer, (long)count, offset, 0);
}
extern __typeof(pwrite) pwrite64 __attribute__((alias("pwrite")));

/* Every folder reads as taking no new file. */
int access(const char* path, int mode) {
    if ((mode & W_OK) && strstr(control(), "readonly")) {
        errno = EACCES;
        return -1;
    }
    return (int)syscall(SYS_faccessat, AT_FDCWD, path, mode, 0);
}

int fdatasync(int fd) { return (int)faulty("fsync", is_data_fd(fd), SYS_fdatasync, fd, 0, 0, 0, 0); }
int fsync(int fd) { return (int)faulty("fsync", is_data_fd(fd), SYS_fsync, fd, 0, 0, 0, 0); }

/* Qt links an unnamed temp file (/proc/self/fd/N) to a name to commit it. */
int linkat(int olddir, const char* old, int newdir, const char* new, int flags) {
    return (int)faulty("link", names_data_file(new), SYS_linkat, olddir, (long)old, newdir, (long)new, flags);
}
int link(const char* old, const char* new) { return linkat(AT_FDCWD, old, AT_FDCWD, new, 0); }

int renameat2(int olddir, const char* old, int newdir, const char* new, unsigned flags) {
    return (int)faulty("rename", names_data_file(old) || names_data_file(new), SYS_renameat2, olddir,
                       (long)old, newdir, (long)new, flags);
}
int rename(const char* old, const char* new) { return renameat2(AT_FDCWD, old, AT_FDCWD, new, 0); }
