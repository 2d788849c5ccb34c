#pragma once
// Whole reads from a file descriptor: the loop every caller of read(2)
// needs (short reads, EINTR), written once.
#include <QtGlobal>

// Reads up to n bytes, at offset when it is not negative (pread), else from
// the current position; fewer only at the end of the file or on an error
// (errno then says which).
qint64 ReadFully(int fd, char* buf, qint64 n, qint64 offset = -1);
