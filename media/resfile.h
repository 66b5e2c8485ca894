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
#include <string>
#include <vector>

struct PackEntry {
    uint32_t offset = 0;   // relative to dataBase
    uint32_t size = 0;     // bytes
    uint32_t nameLen = 0;  // L
    char* name = nullptr;  // own NUL-terminated copy; null when it could not be allocated
};

class Resfile {
public:
    Resfile();
    ~Resfile();
    Resfile(const Resfile&) = delete;
    Resfile& operator=(const Resfile&) = delete;

    // Makes fileName the current pack; naming the current pack again does nothing.
    // The outcome shows in the stream state (count/load) and the entry count.
    // Counts, name lengths and the table are checked against the file's length:
    // a damaged table fails the stream like a truncated file. A file that cannot
    // be opened leaves no current pack, so any name (the old one too) is tried again.
    void open(const char* fileName);
    // Makes fileName current, then returns N; 0 (and a log line) on a failed stream.
    int32_t count(const char* fileName);
    // Entry bytes plus one 0 byte, new[]'d, owned by the caller (delete[]); null on
    // failure. Empty fileName keeps the current pack; index < 0 selects by name.
    // An entry whose bytes do not lie wholly inside the file is refused (null,
    // "Resfile.load: Wpis ... poza plikiem ..." in the log).
    char* load(const char* fileName, const char* entryName, int32_t index);
    // Size without the added 0 byte of the entry most recently found by load.
    uint32_t size() const { return lastSize_; }
    // Name of table record i, or null (out of range, or no name).
    const char* entryName(int32_t i) const;

    // For the pack tool, which must tell a usable pack from a broken one.
    // True when a pack is open and its header and table were read whole
    // (N may be 0); false with no pack, a failed stream, or a header that was
    // missing or rejected.
    bool ready() const { return !failed_ && headerRead_; }
    // Table record i (its name may be null), or null when i is out of range.
    const PackEntry* entryAt(int32_t i) const;
    // True when the bytes of record i lie wholly inside the file; load refuses
    // any record for which this is false.
    bool entryInFile(int32_t i) const;

private:
    void releaseTable();
    bool readU32(uint32_t* v);
    void readTable();

    FILE* file_ = nullptr;
    bool failed_ = true;          // stream state: no pack, or a read ran past the end
    std::string current_;         // current pack's file name
    uint8_t version_ = 0;
    uint32_t dataBase_ = 0;
    uint32_t n_ = 0;
    uint64_t fileLength_ = 0;
    bool headerRead_ = false;     // header accepted and every table record read
    std::vector<PackEntry> table_;
    std::map<std::string, uint32_t> index_;  // name -> table position (later duplicate wins)
    uint32_t lastSize_ = 0;
};
