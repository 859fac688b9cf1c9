#include "updater/zip_format.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "text/codepage.h"
#include "text/little_endian.h"
#include "updater/zip_result.h"

namespace veldan::updater {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint16_t kUtf8NameFlag = 0x0800;
// Blocks of the backwards search; consecutive blocks share 3 bytes so that a
// signature across their boundary is seen whole.
constexpr std::uint64_t kSearchBlock = 4096;
constexpr std::uint64_t kSearchOverlap = 3;

std::uint16_t Get16(const unsigned char* p) {
    return text::LoadLe16(reinterpret_cast<const char*>(p));
}

std::uint32_t Get32(const unsigned char* p) {
    return text::LoadLe32(reinterpret_cast<const char*>(p));
}

// Reads little-endian fields one after the other, each as wide as its type,
// so a record's layout reads as the list of its fields.
class FieldReader {
  public:
    explicit FieldReader(const unsigned char* p) : p_(p) {}
    template <typename T>
    FieldReader& operator>>(T& field) {
        static_assert(sizeof(T) == 2 || sizeof(T) == 4, "zip fields are 16 or 32 bits wide");
        if constexpr (sizeof(T) == 2) {
            field = Get16(p_);
        } else {
            field = Get32(p_);
        }
        p_ += sizeof(T);
        return *this;
    }

  private:
    const unsigned char* p_;
};

bool IsEndSignature(const unsigned char* p) {
    return p[0] == 'P' && p[1] == 'K' && p[2] == 5 && p[3] == 6;
}

EndRecord ParseEndRecord(const unsigned char* p, std::uint64_t position) {
    EndRecord r;
    r.position = position;
    FieldReader(p + 4) >> r.thisDisk >> r.directoryDisk >> r.entriesOnDisk >> r.totalEntries >>
        r.directorySize >> r.directoryOffset >> r.commentLength;
    return r;
}

std::string DecodeName(std::string raw, std::uint16_t flags) {
    if ((flags & kUtf8NameFlag) != 0 || text::IsValidUtf8(raw)) return raw;
    return text::Cp949ToUtf8(raw);
}

}  // namespace

bool ReadAt(int fd, std::uint64_t offset, void* buffer, std::size_t length) {
    auto* out = static_cast<char*>(buffer);
    while (length > 0) {
        ssize_t n = ::pread(fd, out, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

int FindEndRecord(int fd, std::uint64_t fileSize, EndRecord& record) {
    if (fileSize < 4) return kZipNoEndRecord;
    const std::uint64_t lowest =
        fileSize > kEndRecordSearchSpan ? fileSize - kEndRecordSearchSpan : 0;
    std::vector<unsigned char> block(kSearchBlock);
    bool sawSignature = false;
    std::uint64_t end = fileSize;  // one past the last byte of the current block
    for (;;) {
        const std::uint64_t start = end - lowest > kSearchBlock ? end - kSearchBlock : lowest;
        const std::size_t length = static_cast<std::size_t>(end - start);
        if (!ReadAt(fd, start, block.data(), length)) return kZipBadArchive;
        for (std::size_t i = length >= 4 ? length - 4 + 1 : 0; i-- > 0;) {
            if (!IsEndSignature(&block[i])) continue;
            sawSignature = true;
            const std::uint64_t position = start + i;
            if (position + kEndRecordSize > fileSize) continue;
            unsigned char raw[kEndRecordSize];
            if (!ReadAt(fd, position, raw, sizeof raw)) return kZipBadArchive;
            EndRecord candidate = ParseEndRecord(raw, position);
            if (position + kEndRecordSize + candidate.commentLength > fileSize) continue;
            record = candidate;
            return kZipOk;
        }
        if (start == lowest) break;
        end = start + kSearchOverlap;
    }
    return sawSignature ? kZipBadArchive : kZipNoEndRecord;
}

int ParseCentralDirectory(const std::string& directory, int count, std::vector<ZipEntry>& entries) {
    entries.clear();
    entries.reserve(static_cast<std::size_t>(std::max(count, 0)));
    const auto* data = reinterpret_cast<const unsigned char*>(directory.data());
    std::size_t at = 0;
    for (int i = 0; i < count; ++i) {
        if (directory.size() - at < kCentralHeaderSize) return kZipBadArchive;
        const unsigned char* h = data + at;
        if (Get32(h) != kCentralSignature) return kZipBadArchive;
        ZipEntry e;
        std::uint16_t nameLength = 0;
        std::uint16_t extraLength = 0;
        std::uint16_t commentLength = 0;
        std::uint16_t versionNeeded = 0;  // not used
        FieldReader(h + 4) >> e.versionMadeBy >> versionNeeded >> e.flags >> e.method >>
            e.dosTime >> e.dosDate >> e.crc32 >> e.compressedSize >> e.uncompressedSize >>
            nameLength >> extraLength >> commentLength >> e.diskStart >> e.internalAttributes >>
            e.externalAttributes >> e.localHeaderOffset;
        const std::size_t total =
            kCentralHeaderSize + std::size_t{nameLength} + extraLength + commentLength;
        if (directory.size() - at < total) return kZipBadArchive;
        e.name = DecodeName(directory.substr(at + kCentralHeaderSize, nameLength), e.flags);
        e.directoryIndex = entries.size();
        entries.push_back(std::move(e));
        at += total;
    }
    return kZipOk;
}

int ReadLocalHeader(int fd, std::uint64_t offset, std::uint64_t& dataOffset,
                    std::uint16_t& localFlags) {
    unsigned char h[kLocalHeaderSize];
    if (!ReadAt(fd, offset, h, sizeof h)) return kZipBadArchive;
    if (Get32(h) != kLocalSignature) return kZipBadArchive;
    localFlags = Get16(h + 6);
    dataOffset = offset + kLocalHeaderSize + Get16(h + 26) + Get16(h + 28);
    return kZipOk;
}

bool DosDateTimeToTime(std::uint16_t dosDate, std::uint16_t dosTime, std::time_t& result) {
    std::tm tm{};
    tm.tm_year = 80 + (dosDate >> 9);
    tm.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
    tm.tm_mday = dosDate & 0x1F;
    tm.tm_hour = dosTime >> 11;
    tm.tm_min = (dosTime >> 5) & 0x3F;
    tm.tm_sec = (dosTime & 0x1F) * 2;
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_hour > 23 || tm.tm_min > 59 ||
        tm.tm_sec > 59) {
        return false;
    }
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return false;
    result = t;
    return true;
}

}  // namespace veldan::updater
