// pkf: makes and inspects the game's resource packs (format 1).
//
//   pkf create OUT.pkf FILE...   one entry per file, named by its base name, in order
//   pkf list PACK                "size<TAB>name" per table record, nothing else on stdout
//   pkf extract PACK DIR         every entry into DIR under its name
//
// Exit status 0 on success, 1 with one line on stderr for a missing,
// truncated, rejected or corrupt pack (any entry reaching outside the file
// counts as corrupt), 2 for bad usage. Packs are read through Resfile, the
// game's own reader, so the tool accepts exactly what the game accepts.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/resfile.h"

namespace {

const char* kUsage =
    "usage: pkf create OUT.pkf FILE... | pkf list PACK | pkf extract PACK DIR\n";

int fail(const std::string& why) {
    fprintf(stderr, "pkf: %s\n", why.c_str());
    return 1;
}

// An entry name as one line of text: control bytes (a corrupt or hostile name
// may hold line breaks or zeros) are written as \xNN.
std::string shown(std::string_view name) {
    std::string out;
    for (const char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f) {
            char hex[5];
            snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// ---- create ---------------------------------------------------------------

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

bool readWhole(const char* path, std::string* bytes) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    char buf[65536];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0) bytes->append(buf, got);
    const bool ok = !ferror(f);
    fclose(f);
    return ok;
}

int create(const char* outPath, int nFiles, char** files) {
    std::string table, data;
    for (int i = 0; i < nFiles; ++i) {
        struct stat st;
        if (stat(files[i], &st) != 0 || !S_ISREG(st.st_mode))
            return fail(std::string(files[i]) + ": not a readable regular file");
        const char* slash = strrchr(files[i], '/');
        const std::string name = slash ? slash + 1 : files[i];
        std::string bytes;
        if (!readWhole(files[i], &bytes)) return fail(std::string(files[i]) + ": " + strerror(errno));
        // Offsets and sizes are 32-bit: the data area must stay below 4 GiB.
        if (data.size() + bytes.size() > UINT32_MAX) return fail("too much data for one pack");
        put32(table, static_cast<uint32_t>(data.size()));
        put32(table, static_cast<uint32_t>(bytes.size()));
        put32(table, static_cast<uint32_t>(name.size()));
        table += name;
        data += bytes;
    }
    std::string head = "PAKF";
    head.push_back('\x01');
    put32(head, static_cast<uint32_t>(13 + table.size()));  // data right after the table
    put32(head, static_cast<uint32_t>(nFiles));

    // Written beside the target and renamed, so a failure never leaves half a pack.
    const std::string tmp = std::string(outPath) + ".tmp";
    FILE* f = fopen(tmp.c_str(), "wb");
    if (!f) return fail(tmp + ": " + strerror(errno));
    bool ok = fwrite(head.data(), 1, head.size(), f) == head.size() &&
              fwrite(table.data(), 1, table.size(), f) == table.size() &&
              fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok || rename(tmp.c_str(), outPath) != 0) {
        const std::string why = strerror(errno);
        unlink(tmp.c_str());
        return fail(std::string(outPath) + ": " + why);
    }
    return 0;
}

// ---- reading --------------------------------------------------------------

// Why a pack that did not open is refused.
std::string refusal(PackStatus status) {
    switch (status) {
    case PackStatus::NoHeader:
        return "too short to be a pack";
    case PackStatus::BadVersion:
        return "not a pack of format 1 (wrong magic or version)";
    case PackStatus::Truncated:
        return "truncated or corrupt (the entry table runs past the end of the file)";
    case PackStatus::NoMemory:
        return "cannot be read (no memory for its entry table)";
    default:
        return "cannot be opened";
    }
}

// Opens the pack and checks that every record names a span inside the file.
// Returns the entry count, or -1 after printing the reason.
int32_t openChecked(Resfile& r, const char* pack) {
    struct stat st;
    if (stat(pack, &st) != 0) {
        fail(std::string(pack) + ": " + strerror(errno));
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        fail(std::string(pack) + ": not a regular file");
        return -1;
    }
    r.logs = false;  // the listing owns standard output; the status tells the reason
    const PackStatus status = r.open(pack);
    if (status != PackStatus::Ready) {
        fail(std::string(pack) + ": " + refusal(status));
        return -1;
    }
    const int32_t n = r.count(pack);
    for (int32_t i = 0; i < n; ++i) {
        if (!r.entryName(i)) {
            fail(std::string(pack) + ": entry " + std::to_string(i) + " has no name");
            return -1;
        }
        if (!r.entryInFile(i)) {
            fail(std::string(pack) + ": corrupt: entry " + std::to_string(i) + " (" +
                 shown(r.nameBytes(i)) + ") lies outside the file");
            return -1;
        }
    }
    return n;
}

int list(const char* pack) {
    Resfile r;
    const int32_t n = openChecked(r, pack);
    if (n < 0) return 1;
    for (int32_t i = 0; i < n; ++i) {
        const PackEntry* e = r.entryAt(i);
        printf("%u\t%s\n", e->size, shown(r.nameBytes(i)).c_str());
    }
    return fflush(stdout) == 0 ? 0 : fail("cannot write the listing");
}

// A name may only ever become one file directly inside DIR.
bool safeName(std::string_view name) {
    return !name.empty() && name != "." && name.find('/') == std::string_view::npos &&
           name.find("..") == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

bool writeEntry(const std::string& path, const char* bytes, uint32_t size) {
    // O_NOFOLLOW: a symbolic link planted in DIR must not redirect the write.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);
    if (fd < 0) return false;
    uint32_t done = 0;
    while (done < size) {
        const ssize_t w = write(fd, bytes + done, size - done);
        if (w <= 0) {
            close(fd);
            return false;
        }
        done += static_cast<uint32_t>(w);
    }
    return close(fd) == 0;
}

int extract(const char* pack, const char* dir) {
    Resfile r;
    const int32_t n = openChecked(r, pack);
    if (n < 0) return 1;
    // Every name is checked before anything is written.
    for (int32_t i = 0; i < n; ++i) {
        if (!safeName(r.nameBytes(i)))
            return fail(std::string(pack) + ": refusing entry " + std::to_string(i) + " named \"" +
                        shown(r.nameBytes(i)) + "\" (empty, or holding \"/\" or \"..\")");
    }
    if (mkdir(dir, 0755) != 0 && errno != EEXIST) return fail(std::string(dir) + ": " + strerror(errno));
    struct stat st;
    if (stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) return fail(std::string(dir) + ": not a directory");
    for (int32_t i = 0; i < n; ++i) {
        const auto bytes = r.load("", r.entryName(i), i);
        if (!bytes) return fail(std::string(pack) + ": cannot read entry " + r.entryName(i));
        const std::string path = std::string(dir) + "/" + r.entryName(i);
        if (!writeEntry(path, bytes->data(), static_cast<uint32_t>(bytes->size()))) return fail(path + ": " + strerror(errno));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "create" && argc >= 3) return create(argv[2], argc - 3, argv + 3);
    if (cmd == "list" && argc == 3) return list(argv[2]);
    if (cmd == "extract" && argc == 4) return extract(argv[2], argv[3]);
    fputs(kUsage, stderr);
    return 2;
}
