/* Fault injection for save tests, loaded with LD_PRELOAD.
 * Every knob is read from the environment at each call, so a test can change it while it runs:
 *   FAULTSHIM_PATH         only descriptors/paths whose name contains this text are affected (required)
 *   FAULTSHIM_WRITE_AFTER  writes fail with ENOSPC once this many bytes were written to matching files
 *   FAULTSHIM_FSYNC        when set, fsync/fdatasync of matching files fail with EIO
 *   FAULTSHIM_RENAME       when set, renames whose source or target matches fail with EIO
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static long long written_so_far;

static int path_matches(const char *path)
{
    const char *want = getenv("FAULTSHIM_PATH");
    return want && *want && path && strstr(path, want);
}

static int fd_matches(int fd)
{
    char link[64], target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return 0;
    target[n] = 0;
    return path_matches(target);
}

ssize_t write(int fd, const void *buf, size_t count)
{
    static ssize_t (*real)(int, const void *, size_t);
    if (!real)
        real = (ssize_t (*)(int, const void *, size_t))dlsym(RTLD_NEXT, "write");
    const char *after = getenv("FAULTSHIM_WRITE_AFTER");
    if (after && fd > 2 && fd_matches(fd)) {
        long long limit = atoll(after);
        if (written_so_far >= limit) {
            errno = ENOSPC;
            return -1;
        }
        if (written_so_far + (long long)count > limit)
            count = (size_t)(limit - written_so_far);
        ssize_t n = real(fd, buf, count);
        if (n > 0)
            written_so_far += n;
        return n;
    }
    return real(fd, buf, count);
}

static int failing_sync(int fd)
{
    return getenv("FAULTSHIM_FSYNC") && fd_matches(fd);
}

int fsync(int fd)
{
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    if (failing_sync(fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd);
}

int fdatasync(int fd)
{
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    if (failing_sync(fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd);
}

static int failing_rename(const char *from, const char *to)
{
    return getenv("FAULTSHIM_RENAME") && (path_matches(from) || path_matches(to));
}

int rename(const char *from, const char *to)
{
    static int (*real)(const char *, const char *);
    if (!real)
        real = (int (*)(const char *, const char *))dlsym(RTLD_NEXT, "rename");
    if (failing_rename(from, to)) {
        errno = EIO;
        return -1;
    }
    return real(from, to);
}

int renameat(int olddirfd, const char *from, int newdirfd, const char *to)
{
    static int (*real)(int, const char *, int, const char *);
    if (!real)
        real = (int (*)(int, const char *, int, const char *))dlsym(RTLD_NEXT, "renameat");
    if (failing_rename(from, to)) {
        errno = EIO;
        return -1;
    }
    return real(olddirfd, from, newdirfd, to);
}

int renameat2(int olddirfd, const char *from, int newdirfd, const char *to, unsigned int flags)
{
    static int (*real)(int, const char *, int, const char *, unsigned int);
    if (!real)
        real = (int (*)(int, const char *, int, const char *, unsigned int))dlsym(RTLD_NEXT, "renameat2");
    if (failing_rename(from, to)) {
        errno = EIO;
        return -1;
    }
    return real(olddirfd, from, newdirfd, to, flags);
}

/* Lets a test reset the byte counter between cases without restarting. */
void faultshim_reset(void)
{
    written_so_far = 0;
}
