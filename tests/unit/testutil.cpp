#include "testutil.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

// Every unit test runs headless: SDL's dummy drivers unless the caller chose
// others, and the source and build folders for tests that read the real packs.
namespace {
struct TestEnvironment {
    TestEnvironment() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("SRC_DIR", TEST_SRC_DIR, 0);
        setenv("BUILD_DIR", TEST_BUILD_DIR, 0);
    }
} testEnvironment;
}  // namespace

// Leaks inside system libraries we do not own (X11, SDL's drivers, fontconfig).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libX11.so\nleak:libSDL-1.2.so\nleak:libfontconfig.so\nleak:libdbus-1.so\n"
           "leak:libasound.so\nleak:libpulse\nleak:libxcb\n";
}

namespace testutil {

static void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

std::string packBytes(const std::vector<PackEntry>& entries, uint32_t gap) {
    std::string table, data;
    for (const PackEntry& e : entries) {
        data.append(gap, '\xAA');
        put32(table, static_cast<uint32_t>(data.size()));
        put32(table, static_cast<uint32_t>(e.bytes.size()));
        put32(table, static_cast<uint32_t>(e.name.size()));
        table += e.name;
        data += e.bytes;
    }
    std::string out = "PAKF\x01";
    put32(out, 13 + static_cast<uint32_t>(table.size()) + gap);
    put32(out, static_cast<uint32_t>(entries.size()));
    return out + table + std::string(gap, '\x55') + data;
}

std::string wav(int channels, int rate, int bits, const std::string& data) {
    std::string s = "RIFF";
    put32(s, 36 + uint32_t(data.size()));
    s += "WAVEfmt ";
    put32(s, 16), put32(s, 1 | channels << 16), put32(s, uint32_t(rate)), put32(s, uint32_t(rate * channels * bits / 8));
    put32(s, uint32_t(channels * bits / 8 | bits << 16));
    s += "data";
    put32(s, uint32_t(data.size()));
    return s + data;
}

void writePack(const std::string& path, const std::vector<PackEntry>& entries, uint32_t gap) {
    writeFile(path, packBytes(entries, gap));
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

CaptureStdout::CaptureStdout() {
    fflush(stdout);
    char tmpl[] = "capture-XXXXXX";
    const int fd = mkstemp(tmpl);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    path_ = tmpl;
    savedFd_ = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    close(fd);
}

std::string CaptureStdout::stop() {
    if (savedFd_ < 0) return "";
    fflush(stdout);
    dup2(savedFd_, STDOUT_FILENO);
    close(savedFd_);
    savedFd_ = -1;
    const std::string out = readFile(path_);
    unlink(path_.c_str());
    return out;
}

std::string tempDir(const std::string& hint) {
    std::string tmpl = hint + "-XXXXXX";
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    return tmpl;
}

}  // namespace testutil
