#include "base/resfile.h"

#include <cstdarg>
#include <new>
#include <sys/types.h>

// One record on disk: offset, size and L before the L name bytes.
static const uint64_t kRecordHead = 12;
static const uint64_t kHeaderSize = 13;

Resfile::~Resfile() {
    if (file_) fclose(file_);
}

void Resfile::log(const char* format, ...) const {
    if (!logs) return;
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
}

void Resfile::releaseTable() {
    table_.clear();
    names_.clear();
    index_.clear();
    n_ = 0;
}

bool Resfile::readU32(uint32_t* v) {
    unsigned char b[4];
    if (fread(b, 1, 4, file_) != 4) return false;
    *v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

PackStatus Resfile::open(const char* fileName) {
    if (!fileName) fileName = "";
    if (current_ == fileName) return status_;

    if (file_) {
        log("INFO: Resfile.open: Zamykanie: %s\n--------------------\n", current_.c_str());
        fclose(file_);
        file_ = nullptr;
    }
    log("INFO: Resfile.open: Otwieranie: %s\n", fileName);
    file_ = fopen(fileName, "rb");
    if (!file_) {
        log("FAIL: Resfile.open: NULL\n");
        failed_ = true;
        // The previous pack is closed now; forgetting its name and table lets a
        // later open of it read it again instead of staying failed for good.
        current_.clear();
        releaseTable();
        return status_ = PackStatus::NotOpened;
    }

    failed_ = false;
    releaseTable();
    current_ = fileName;
    version_ = 0;
    dataBase_ = 0;

    off_t length = -1;
    if (fseeko(file_, 0, SEEK_END) == 0) length = ftello(file_);
    if (length < 0 || fseeko(file_, 0, SEEK_SET) != 0) {
        failed_ = true;  // not seekable (a directory, a pipe): nothing can be read
        fileLength_ = 0;
        return status_ = PackStatus::Truncated;
    }
    fileLength_ = static_cast<uint64_t>(length);
    if (fileLength_ <= 4) {
        log("FAIL: Resfile.open: Brak naglowka\n");
        return status_ = PackStatus::NoHeader;
    }

    unsigned char magic[5];
    if (fread(magic, 1, 5, file_) != 5) {
        failed_ = true;
        return status_ = PackStatus::Truncated;
    }
    version_ = magic[4];
    if (magic[0] != 'P' || magic[1] != 'A' || magic[2] != 'K' || magic[3] != 'F' || version_ != 1) {
        log("FAIL: Resfile.open: Nieobslugiwana wersja resfile\n");
        fclose(file_);
        file_ = nullptr;
        return status_ = PackStatus::BadVersion;
    }
    return status_ = readTable();
}

// Reads dataBase, N and the N records. Every count and length is checked
// against the bytes left in the file before anything is allocated from it, so
// a damaged pack fails like a truncated one instead of asking for gigabytes.
PackStatus Resfile::readTable() {
    uint32_t n = 0;
    if (!readU32(&dataBase_) || !readU32(&n)) {
        failed_ = true;
        return PackStatus::Truncated;
    }
    uint64_t pos = kHeaderSize;
    if (n > (fileLength_ - pos) / kRecordHead) {
        failed_ = true;
        return PackStatus::Truncated;
    }
    try {
        table_.assign(n, PackEntry());
    } catch (const std::bad_alloc&) {
        log("FAIL: Resfile.open: Nie udalo sie zajac miejsca na naglowek\n");
        return PackStatus::NoMemory;
    }
    n_ = n;

    for (uint32_t i = 0; i < n; ++i) {
        PackEntry& e = table_[i];
        if (!readU32(&e.offset) || !readU32(&e.size) || !readU32(&e.nameLen)) {
            failed_ = true;
            return PackStatus::Truncated;
        }
        pos += kRecordHead;
        if (e.nameLen > fileLength_ - pos) {
            failed_ = true;
            return PackStatus::Truncated;
        }
        const size_t at = names_.size();
        try {
            names_.resize(at + e.nameLen + 1);
        } catch (const std::bad_alloc&) {
            log("FAIL: Resfile.open: Nie udalo sie zajac miejsca na nazwe pliku (%u)\n", e.nameLen);
            if (fseeko(file_, off_t(e.nameLen), SEEK_CUR) != 0) {
                failed_ = true;
                return PackStatus::Truncated;
            }
            pos += e.nameLen;
            continue;
        }
        if (fread(&names_[at], 1, e.nameLen, file_) != e.nameLen) {
            failed_ = true;
            return PackStatus::Truncated;
        }
        pos += e.nameLen;
        e.nameAt = static_cast<uint32_t>(at);
        index_[names_.c_str() + at] = i;  // up to a zero byte; a later duplicate takes the name over
    }
    return PackStatus::Ready;
}

int32_t Resfile::count(const char* fileName) {
    open(fileName);
    if (failed_) {
        log("FAIL: Resfile.count: NULL\n");
        return 0;
    }
    return static_cast<int32_t>(n_);
}

std::optional<std::vector<char>> Resfile::load(const char* fileName, const char* entryName, int32_t index) {
    const int32_t pos = find(fileName, entryName, index);
    if (pos < 0) return std::nullopt;
    std::vector<char> bytes;
    if (read(pos, entryName, bytes) < 0) return std::nullopt;
    return bytes;
}

int32_t Resfile::find(const char* fileName, const char* entryName, int32_t index) {
    if (!entryName) entryName = "";
    if (fileName && fileName[0]) open(fileName);
    if (failed_) {
        log("FAIL: Resfile.load: NULL\n");
        return -1;
    }

    int32_t pos = -1;
    if (index < 0) {
        auto it = index_.find(entryName);
        if (it != index_.end()) pos = static_cast<int32_t>(it->second);
    } else if (static_cast<uint32_t>(index) < n_) {
        pos = index;
    }
    if (pos < 0) log("FAIL: Resfile.load: Nie znaleziono %s/%d w %s\n", entryName, index, current_.c_str());
    return pos;
}

int64_t Resfile::read(int32_t pos, const char* entryName, std::vector<char>& buffer) {
    if (failed_) {
        log("FAIL: Resfile.load: NULL\n");
        return -1;
    }
    const PackEntry* e = entryAt(pos);
    if (!e) {
        log("FAIL: Resfile.load: Nie znaleziono %s/%d w %s\n", entryName ? entryName : "", pos, current_.c_str());
        return -1;
    }
    const char* stored = Resfile::entryName(pos);
    const char* shownName = stored ? stored : entryName ? entryName : "";
    if (!entryInFile(pos)) {
        log("FAIL: Resfile.load: Wpis %s poza plikiem %s\n", shownName, current_.c_str());
        return -1;
    }
    if (fseeko(file_, off_t(uint64_t(dataBase_) + e->offset), SEEK_SET) != 0) {
        failed_ = true;
        status_ = PackStatus::Truncated;
        log("FAIL: Resfile.load: Wpis %s poza plikiem %s\n", shownName, current_.c_str());
        return -1;
    }
    try {
        if (buffer.size() < e->size) buffer.resize(e->size);
    } catch (const std::bad_alloc&) {
        log("FAIL: Resfile.load: Nie udalo sie zajac miejsca na bufor\n");
        return -1;
    }
    if (fread(buffer.data(), 1, e->size, file_) != e->size) {
        // The file shrank under us: the stream is past its end, as for a truncated pack.
        failed_ = true;
        status_ = PackStatus::Truncated;
        log("FAIL: Resfile.load: Wpis %s poza plikiem %s\n", shownName, current_.c_str());
        return -1;
    }
    return e->size;
}

const char* Resfile::entryName(int32_t i) const {
    const PackEntry* e = entryAt(i);
    return e && e->nameAt != PackEntry::kUnnamed ? names_.c_str() + e->nameAt : nullptr;
}

std::string_view Resfile::nameBytes(int32_t i) const {
    const char* name = entryName(i);
    return name ? std::string_view(name, entryAt(i)->nameLen) : std::string_view();
}

const PackEntry* Resfile::entryAt(int32_t i) const {
    if (i < 0 || static_cast<uint32_t>(i) >= n_ || static_cast<size_t>(i) >= table_.size()) return nullptr;
    return &table_[i];
}

bool Resfile::entryInFile(int32_t i) const {
    const PackEntry* e = entryAt(i);
    if (!e) return false;
    return uint64_t(dataBase_) + e->offset + e->size <= fileLength_;
}
