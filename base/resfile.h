// Reader of a resource pack ("data/gfx.pkf", "data/sfx.pkf"): makes one pack
// current, indexes its entries by name and by table position, and copies one
// entry at a time into a buffer the caller owns.
//
// Format 1 (all integers unsigned 32-bit little-endian, no padding):
//   "PAKF", version byte 1, dataBase, N, then N records of
//   offset, size, L, L name bytes. Entry bytes: file[dataBase + offset, +size).
#pragma once
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct PackEntry {
    uint32_t offset = 0;   // relative to dataBase
    uint32_t size = 0;     // bytes
    uint32_t nameLen = 0;  // L
    uint32_t nameAt = kUnnamed;  // where its name starts in the reader's name store
    static constexpr uint32_t kUnnamed = UINT32_MAX;  // the name could not be stored
};

// What opening a pack found. The log says the same to people.
enum class PackStatus {
    Ready,       // header and every table record read (N may be 0)
    NotOpened,   // no pack named yet, or the file could not be opened
    NoHeader,    // 4 bytes or fewer
    BadVersion,  // not "PAKF" with version 1
    Truncated,   // the header or the table runs past the end, or the file cannot be sought
    NoMemory,    // no room for the entry table
};

class Resfile {
public:
    Resfile() = default;
    ~Resfile();
    Resfile(const Resfile&) = delete;
    Resfile& operator=(const Resfile&) = delete;

    // Makes fileName the current pack and returns what was found; naming the
    // current pack again does nothing and returns the same. Counts, name
    // lengths and the table are checked against the file's length: a damaged
    // table fails like a truncated file. A file that cannot be opened leaves no
    // current pack, so any name (the old one too) is tried again.
    PackStatus open(const char* fileName);
    // Makes fileName current, then returns N; 0 (and a log line) on a failed stream.
    int32_t count(const char* fileName);
    // The entry's bytes, or nullopt (with a log line). Empty fileName keeps the
    // current pack; index < 0 selects by name (up to its first zero byte). An
    // entry whose bytes do not lie wholly inside the file is refused
    // ("Resfile.load: Wpis ... poza plikiem ..." in the log).
    std::optional<std::vector<char>> load(const char* fileName, const char* entryName, int32_t index);
    // load in two steps, for a caller that reads many entries into one buffer.
    // find: the table position load would read, or -1 after the log line load
    // gives (a failed stream, no such entry).
    int32_t find(const char* fileName, const char* entryName, int32_t index);
    // read: the bytes of record pos (from find) into the start of `buffer`,
    // which grows as needed and never shrinks, so later entries cost no new
    // memory; returns their number, or -1 after the log line load gives (the
    // entry outside the file, no memory, a short read). entryName is only
    // shown for a record without a name.
    int64_t read(int32_t pos, const char* entryName, std::vector<char>& buffer);
    // Name of table record i up to its first zero byte, or null (out of range,
    // or no name).
    const char* entryName(int32_t i) const;
    // All L name bytes of record i, zeros included; empty when entryName is null.
    std::string_view nameBytes(int32_t i) const;

    // For the pack tool, which must tell a usable pack from a broken one.
    PackStatus status() const { return status_; }
    // Table record i, or null when i is out of range.
    const PackEntry* entryAt(int32_t i) const;
    // True when the bytes of record i lie wholly inside the file; load refuses
    // any record for which this is false.
    bool entryInFile(int32_t i) const;

    // Log lines go to standard output (the game's log) while this is true; the
    // pack tool turns them off and reads status() instead.
    bool logs = true;

private:
    void log(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void releaseTable();
    bool readU32(uint32_t* v);
    PackStatus readTable();

    FILE* file_ = nullptr;
    bool failed_ = true;          // stream state: no pack, or a read ran past the end
    PackStatus status_ = PackStatus::NotOpened;
    std::string current_;         // current pack's file name
    uint8_t version_ = 0;
    uint32_t dataBase_ = 0;
    uint32_t n_ = 0;
    uint64_t fileLength_ = 0;
    std::vector<PackEntry> table_;
    std::string names_;                      // every name read, each followed by a zero byte
    std::map<std::string, uint32_t> index_;  // name -> table position (later duplicate wins)
};
