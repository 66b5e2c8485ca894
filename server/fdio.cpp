#include "server/fdio.h"

#include <unistd.h>

#include <cerrno>

bool writeAll(int fd, const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n > 0) done += static_cast<size_t>(n);
        else if (n == 0 || errno != EINTR) return false;
    }
    return true;
}

bool readAll(int fd, char* into, size_t size) {
    for (size_t done = 0; done < size;) {
        const ssize_t n = read(fd, into + done, size - done);
        if (n > 0) done += static_cast<size_t>(n);
        else if (n == 0 || errno != EINTR) return false;
    }
    return true;
}
