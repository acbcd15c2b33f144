#include "StandardError.h"

#include <cerrno>
#include <unistd.h>

void writeStandardError(QByteArrayView bytes) {
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return; // nowhere to report it
        }
        p += n;
        left -= n;
    }
}
