#include "session/FdIo.h"

#include <cerrno>
#include <unistd.h>

qint64 ReadFully(int fd, char* buf, qint64 n, qint64 offset)
{
    qint64 done = 0;
    errno = 0;
    while (done < n) {
        const ssize_t r = offset < 0 ? ::read(fd, buf + done, size_t(n - done))
                                     : ::pread(fd, buf + done, size_t(n - done), off_t(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        done += r;
    }
    return done;
}
