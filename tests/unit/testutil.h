// Helpers shared by the unit tests: packs written on the fly and the log
// (standard output) captured into a string.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testutil {

struct PackEntry {
    std::string name;
    std::string bytes;
};

// A format-1 pack. With `gap` > 0, `gap` filler bytes lie between the table
// and dataBase and before every data block, so readers must honour dataBase
// and the offsets exactly.
std::string packBytes(const std::vector<PackEntry>& entries, uint32_t gap = 0);
void writePack(const std::string& path, const std::vector<PackEntry>& entries, uint32_t gap = 0);

// A PCM WAV file around `data`.
std::string wav(int channels, int rate, int bits, const std::string& data);

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// Redirects standard output into a temporary file until stop(), which returns
// everything written meanwhile.
class CaptureStdout {
public:
    CaptureStdout();
    ~CaptureStdout() { stop(); }
    std::string stop();
private:
    int savedFd_ = -1;
    std::string path_;
};

// A fresh empty directory under the test's working directory.
std::string tempDir(const std::string& hint);

}  // namespace testutil
