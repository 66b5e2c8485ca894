// Whole reads and writes on a descriptor, across short counts and EINTR: the
// checker's helper processes and the admin's socket speak through them.
#pragma once
#include <cstddef>
#include <string>

// False when the descriptor fails first.
bool writeAll(int fd, const char* data, size_t size);
inline bool writeAll(int fd, const std::string& data) { return writeAll(fd, data.data(), data.size()); }
// False when the descriptor fails or ends first.
bool readAll(int fd, char* into, size_t size);
