/*
 * Disk faults on demand, for the drills: preloaded into the program
 * (LD_PRELOAD), it makes the calls that write the data files fail, or slows
 * them down, and logs them.
 *
 * HIBI_FAULT_CONTROL  a file read on every call that touches a data file; while
 *                     it is missing or empty nothing is changed, so a test can
 *                     arm and disarm faults while the program runs. One line of
 *                     words:
 *                       ops=write,fsync,link,rename,open,tmpfile
 *                       names=ヒビノボリ,目標ヒビノボリ   (how the file names start)
 *                       errno=ENOSPC|EIO|EROFS|EDQUOT
 *                       delay_ms=N   (sleep 0..N ms before each matching call
 *                                     instead of failing it: a slow disk)
 *                     write:  write/pwrite/writev to a data file or its temp file
 *                     fsync:  fsync/fdatasync of one of them
 *                     link:   linkat/link to a matching name
 *                     rename: rename/renameat/renameat2 from or to one
 *                     open:   opening one of them (or an unnamed temp) to write
 *                     tmpfile: an unnamed temp file (O_TMPFILE) is refused with
 *                              EOPNOTSUPP, as on a file system without them, so
 *                              the named temp file is used instead
 * HIBI_FAULT_LOG      a file that gets one line per call that touches a data
 *                     file, written before the call ("> write fd=9 n=31") and
 *                     after it ("< write 31"), so that after a kill the log
 *                     tells which call the program was in.
 *
 * Qt's QSaveFile on Linux writes into an unnamed temp file (O_TMPFILE) made
 * in the file's directory and links it to a name only when it commits. Until
 * then nothing tells whose temp file it is: an unnamed temp file made in the
 * program's working directory counts as a temp file of every name in names=.
 * The drills arm a fault only around the one save they drive.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#define MAX_FDS 4096
#define UNNAMED_TEMP "<unnamed temp>"

enum { OP_WRITE = 1, OP_FSYNC = 2, OP_LINK = 4, OP_RENAME = 8, OP_OPEN = 16, OP_TMPFILE = 32 };

struct control {
    unsigned ops;
    int error;
    long delay_ms;
    char names[8][256];
    int name_count;
};

/* What each open file descriptor is: NULL when it is not a data file. */
static char* fd_paths[MAX_FDS];

static ssize_t (*real_write)(int, const void*, size_t);
static ssize_t (*real_pwrite)(int, const void*, size_t, off_t);
static ssize_t (*real_pwrite64)(int, const void*, size_t, off_t);
static ssize_t (*real_writev)(int, const struct iovec*, int);
static int (*real_fsync)(int);
static int (*real_fdatasync)(int);
static int (*real_close)(int);
static int (*real_open)(const char*, int, ...);
static int (*real_open64)(const char*, int, ...);
static int (*real_openat)(int, const char*, int, ...);
static int (*real_openat64)(int, const char*, int, ...);
static int (*real_link)(const char*, const char*);
static int (*real_linkat)(int, const char*, int, const char*, int);
static int (*real_rename)(const char*, const char*);
static int (*real_renameat)(int, const char*, int, const char*);
static int (*real_renameat2)(int, const char*, int, const char*, unsigned int);

#define RESOLVE(name) \
    if (!real_##name) *(void**)(&real_##name) = dlsym(RTLD_NEXT, #name)

/* The log and the control file are reached with raw system calls, so that
 * they never come back through the functions below. */
static void log_line(const char* format, ...) {
    const char* path = getenv("HIBI_FAULT_LOG");
    if (!path || !*path) {
        return;
    }
    char line[1024];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0) {
        return;
    }
    if (n > (int)sizeof line - 2) {
        n = (int)sizeof line - 2;
    }
    line[n++] = '\n';
    const long fd = syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    (void)syscall(SYS_write, fd, line, (size_t)n);
    (void)syscall(SYS_close, fd);
}

static int errno_named(const char* name) {
    if (strcmp(name, "EIO") == 0) return EIO;
    if (strcmp(name, "EROFS") == 0) return EROFS;
    if (strcmp(name, "EDQUOT") == 0) return EDQUOT;
    return ENOSPC;
}

static void read_control(struct control* c) {
    memset(c, 0, sizeof *c);
    c->error = ENOSPC;
    const char* path = getenv("HIBI_FAULT_CONTROL");
    if (!path || !*path) {
        return;
    }
    const long fd = syscall(SYS_openat, AT_FDCWD, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    char text[2048];
    const long n = syscall(SYS_read, fd, text, sizeof text - 1);
    (void)syscall(SYS_close, fd);
    if (n <= 0) {
        return;
    }
    text[n] = '\0';
    char* save = NULL;
    for (char* word = strtok_r(text, " \t\r\n", &save); word; word = strtok_r(NULL, " \t\r\n", &save)) {
        char* value = strchr(word, '=');
        if (!value) {
            continue;
        }
        *value++ = '\0';
        char* item_save = NULL;
        if (strcmp(word, "ops") == 0) {
            for (char* op = strtok_r(value, ",", &item_save); op; op = strtok_r(NULL, ",", &item_save)) {
                if (strcmp(op, "write") == 0) c->ops |= OP_WRITE;
                else if (strcmp(op, "fsync") == 0) c->ops |= OP_FSYNC;
                else if (strcmp(op, "link") == 0) c->ops |= OP_LINK;
                else if (strcmp(op, "rename") == 0) c->ops |= OP_RENAME;
                else if (strcmp(op, "open") == 0) c->ops |= OP_OPEN;
                else if (strcmp(op, "tmpfile") == 0) c->ops |= OP_TMPFILE;
            }
        } else if (strcmp(word, "names") == 0) {
            for (char* name = strtok_r(value, ",", &item_save); name && c->name_count < 8;
                 name = strtok_r(NULL, ",", &item_save)) {
                snprintf(c->names[c->name_count++], sizeof c->names[0], "%s", name);
            }
        } else if (strcmp(word, "errno") == 0) {
            c->error = errno_named(value);
        } else if (strcmp(word, "delay_ms") == 0) {
            c->delay_ms = strtol(value, NULL, 10);
        }
    }
}

/* The data files' names, as the program spells them (UTF-8 on disk). */
static const char* const default_names[] = {"\xe3\x83\x92\xe3\x83\x93\xe3\x83\x8e\xe3\x83\x9c\xe3\x83\xaa",
                                             "\xe7\x9b\xae\xe6\xa8\x99\xe3\x83\x92\xe3\x83\x93\xe3\x83\x8e"
                                             "\xe3\x83\x9c\xe3\x83\xaa"};

static int names_data_file(const char* path) {
    if (!path) {
        return 0;
    }
    const char* base = strrchr(path, '/');
    base = base ? base + 1 : path;
    for (size_t i = 0; i < sizeof default_names / sizeof default_names[0]; ++i) {
        if (strstr(base, default_names[i])) {
            return 1;
        }
    }
    return 0;
}

/* Whether path (a data file's, or UNNAMED_TEMP) falls under the control's names. */
static int matches(const struct control* c, const char* path) {
    if (!path) {
        return 0;
    }
    if (strcmp(path, UNNAMED_TEMP) == 0) {
        return 1;
    }
    const char* base = strrchr(path, '/');
    base = base ? base + 1 : path;
    if (c->name_count == 0) {
        return names_data_file(path);
    }
    for (int i = 0; i < c->name_count; ++i) {
        if (strncmp(base, c->names[i], strlen(c->names[i])) == 0) {
            return 1;
        }
    }
    return 0;
}

/* 0: go ahead; otherwise the errno to fail with. Sleeps first on a slow disk. */
static int decide(unsigned op, const char* path) {
    struct control c;
    read_control(&c);
    if (!(c.ops & op) || !matches(&c, path)) {
        return 0;
    }
    if (c.delay_ms > 0) {
        struct timespec t;
        clock_gettime(CLOCK_MONOTONIC, &t);
        const long ms = (long)((unsigned long)(t.tv_nsec ^ (long)getpid()) % (unsigned long)(c.delay_ms + 1));
        const struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
        nanosleep(&pause, NULL);
        return 0;
    }
    return c.error;
}

static void forget_fd(int fd);

/* A descriptor closed behind our back (not through close() below) may come
 * back as a socket or a pipe: only a regular file keeps its name. */
static const char* fd_path(int fd) {
    if (fd < 0 || fd >= MAX_FDS || !fd_paths[fd]) {
        return NULL;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        forget_fd(fd);
        return NULL;
    }
    return fd_paths[fd];
}

static void forget_fd(int fd) {
    if (fd >= 0 && fd < MAX_FDS && fd_paths[fd]) {
        free(fd_paths[fd]);
        fd_paths[fd] = NULL;
    }
}

static void remember_fd(int fd, const char* path) {
    if (fd < 0 || fd >= MAX_FDS) {
        return;
    }
    forget_fd(fd);
    fd_paths[fd] = strdup(path);
}

/* An unnamed temp file made in the working directory, where the data files are. */
static int is_temp_in_cwd(const char* dir) {
    char wanted[PATH_MAX];
    char cwd[PATH_MAX];
    if (!realpath(dir, wanted) || !getcwd(cwd, sizeof cwd)) {
        return 0;
    }
    return strcmp(wanted, cwd) == 0;
}

static int opened(int dirfd, const char* path, int flags, mode_t mode,
                  int (*real)(int, const char*, int, ...), int (*real_plain)(const char*, int, ...)) {
    const int writing = (flags & (O_WRONLY | O_RDWR | O_CREAT)) != 0;
    const int unnamed = (flags & O_TMPFILE) == O_TMPFILE;
    const char* what = NULL;
    if (unnamed && dirfd == AT_FDCWD && is_temp_in_cwd(path)) {
        what = UNNAMED_TEMP;
    } else if (!unnamed && names_data_file(path)) {
        what = path;
    }
    if (what && (writing || unnamed)) {
        log_line("> open %s%s", what, unnamed ? "" : (flags & O_CREAT ? " create" : ""));
        struct control c;
        read_control(&c);
        if (unnamed && (c.ops & OP_TMPFILE)) {
            log_line("< open tmpfile refused");
            errno = EOPNOTSUPP;
            return -1;
        }
        const int error = decide(OP_OPEN, what);
        if (error) {
            log_line("< open failed %d", error);
            errno = error;
            return -1;
        }
    }
    const int fd = real_plain ? real_plain(path, flags, mode) : real(dirfd, path, flags, mode);
    if (fd >= 0) {
        if (what) {
            remember_fd(fd, what);
        } else {
            forget_fd(fd);
        }
    }
    if (what && (writing || unnamed)) {
        log_line("< open fd=%d", fd);
    }
    return fd;
}

static mode_t mode_argument(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? (mode_t)va_arg(args, int) : 0;
}

int open(const char* path, int flags, ...) {
    RESOLVE(open);
    va_list args;
    va_start(args, flags);
    const mode_t mode = mode_argument(flags, args);
    va_end(args);
    return opened(AT_FDCWD, path, flags, mode, NULL, real_open);
}

int open64(const char* path, int flags, ...) {
    RESOLVE(open64);
    va_list args;
    va_start(args, flags);
    const mode_t mode = mode_argument(flags, args);
    va_end(args);
    return opened(AT_FDCWD, path, flags, mode, NULL, real_open64);
}

int openat(int dirfd, const char* path, int flags, ...) {
    RESOLVE(openat);
    va_list args;
    va_start(args, flags);
    const mode_t mode = mode_argument(flags, args);
    va_end(args);
    return opened(dirfd, path, flags, mode, real_openat, NULL);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    RESOLVE(openat64);
    va_list args;
    va_start(args, flags);
    const mode_t mode = mode_argument(flags, args);
    va_end(args);
    return opened(dirfd, path, flags, mode, real_openat64, NULL);
}

int close(int fd) {
    RESOLVE(close);
    if (fd_path(fd)) {
        log_line("= close fd=%d", fd);
    }
    forget_fd(fd);
    return real_close(fd);
}

#define WRITE_LIKE(call, count)                                        \
    const char* path = fd_path(fd);                                    \
    if (!path) {                                                       \
        return call;                                                   \
    }                                                                  \
    log_line("> write fd=%d n=%zu", fd, (size_t)(count));              \
    const int error = decide(OP_WRITE, path);                          \
    if (error) {                                                       \
        log_line("< write failed %d", error);                          \
        errno = error;                                                 \
        return -1;                                                     \
    }                                                                  \
    const ssize_t result = call;                                       \
    log_line("< write %zd", result);                                   \
    return result

ssize_t write(int fd, const void* buffer, size_t count) {
    RESOLVE(write);
    WRITE_LIKE(real_write(fd, buffer, count), count);
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    RESOLVE(pwrite);
    WRITE_LIKE(real_pwrite(fd, buffer, count, offset), count);
}

ssize_t pwrite64(int fd, const void* buffer, size_t count, off_t offset) {
    RESOLVE(pwrite64);
    WRITE_LIKE(real_pwrite64(fd, buffer, count, offset), count);
}

ssize_t writev(int fd, const struct iovec* iov, int iovcnt) {
    RESOLVE(writev);
    size_t total = 0;
    for (int i = 0; i < iovcnt; ++i) {
        total += iov[i].iov_len;
    }
    WRITE_LIKE(real_writev(fd, iov, iovcnt), total);
}

static int synced(int fd, int (*real)(int), const char* name) {
    const char* path = fd_path(fd);
    if (!path) {
        return real(fd);
    }
    log_line("> %s fd=%d", name, fd);
    const int error = decide(OP_FSYNC, path);
    if (error) {
        log_line("< %s failed %d", name, error);
        errno = error;
        return -1;
    }
    const int result = real(fd);
    log_line("< %s %d", name, result);
    return result;
}

int fsync(int fd) {
    RESOLVE(fsync);
    return synced(fd, real_fsync, "fsync");
}

int fdatasync(int fd) {
    RESOLVE(fdatasync);
    return synced(fd, real_fdatasync, "fdatasync");
}

/* "/proc/self/fd/N": the unnamed temp file N gets the new name. */
static int proc_fd_number(const char* path) {
    static const char prefix[] = "/proc/self/fd/";
    if (!path || strncmp(path, prefix, sizeof prefix - 1) != 0) {
        return -1;
    }
    char* end = NULL;
    const long n = strtol(path + sizeof prefix - 1, &end, 10);
    return end && *end == '\0' && n >= 0 && n < MAX_FDS ? (int)n : -1;
}

static int linked(int olddirfd, const char* oldpath, int newdirfd, const char* newpath, int flags,
                  int plain) {
    const int source = proc_fd_number(oldpath);
    const int relevant = names_data_file(newpath) || (source >= 0 && fd_path(source));
    if (!relevant) {
        return plain ? real_link(oldpath, newpath) : real_linkat(olddirfd, oldpath, newdirfd, newpath, flags);
    }
    log_line("> link %s", newpath);
    const int error = decide(OP_LINK, newpath);
    if (error) {
        log_line("< link failed %d", error);
        errno = error;
        return -1;
    }
    const int result =
        plain ? real_link(oldpath, newpath) : real_linkat(olddirfd, oldpath, newdirfd, newpath, flags);
    const int saved = errno;
    log_line("< link %d%s", result, result < 0 && saved == EEXIST ? " exists" : "");
    if (result == 0 && source >= 0 && fd_path(source)) {
        remember_fd(source, newpath);
    }
    errno = saved;
    return result;
}

int link(const char* oldpath, const char* newpath) {
    RESOLVE(link);
    RESOLVE(linkat);
    return linked(AT_FDCWD, oldpath, AT_FDCWD, newpath, 0, 1);
}

int linkat(int olddirfd, const char* oldpath, int newdirfd, const char* newpath, int flags) {
    RESOLVE(link);
    RESOLVE(linkat);
    return linked(olddirfd, oldpath, newdirfd, newpath, flags, 0);
}

static int renamed(const char* oldpath, const char* newpath, int (*call)(void*), void* context) {
    if (!names_data_file(oldpath) && !names_data_file(newpath)) {
        return call(context);
    }
    log_line("> rename %s -> %s", oldpath, newpath);
    int error = decide(OP_RENAME, newpath);
    if (!error) {
        error = decide(OP_RENAME, oldpath);
    }
    if (error) {
        log_line("< rename failed %d", error);
        errno = error;
        return -1;
    }
    const int result = call(context);
    const int saved = errno;
    log_line("< rename %d", result);
    errno = saved;
    return result;
}

struct rename_args {
    int olddirfd;
    const char* oldpath;
    int newdirfd;
    const char* newpath;
    unsigned int flags;
};

static int call_rename(void* p) {
    const struct rename_args* a = p;
    return real_rename(a->oldpath, a->newpath);
}
static int call_renameat(void* p) {
    const struct rename_args* a = p;
    return real_renameat(a->olddirfd, a->oldpath, a->newdirfd, a->newpath);
}
static int call_renameat2(void* p) {
    const struct rename_args* a = p;
    return real_renameat2(a->olddirfd, a->oldpath, a->newdirfd, a->newpath, a->flags);
}

int rename(const char* oldpath, const char* newpath) {
    RESOLVE(rename);
    struct rename_args a = {AT_FDCWD, oldpath, AT_FDCWD, newpath, 0};
    return renamed(oldpath, newpath, call_rename, &a);
}

int renameat(int olddirfd, const char* oldpath, int newdirfd, const char* newpath) {
    RESOLVE(renameat);
    struct rename_args a = {olddirfd, oldpath, newdirfd, newpath, 0};
    return renamed(oldpath, newpath, call_renameat, &a);
}

int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath, unsigned int flags) {
    RESOLVE(renameat2);
    struct rename_args a = {olddirfd, oldpath, newdirfd, newpath, flags};
    return renamed(oldpath, newpath, call_renameat2, &a);
}
