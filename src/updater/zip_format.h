#pragma once
// The ZIP records the reader needs, read from host file descriptors: the end of
// central directory record (searched backwards from the end of the file), the
// central directory headers and the local file headers. All fields are little-endian.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "updater/zip_entry.h"

namespace veldan::updater {

struct EndRecord {
    std::uint64_t position = 0;  // offset of the record's signature in the file
    std::uint16_t thisDisk = 0;
    std::uint16_t directoryDisk = 0;
    std::uint16_t entriesOnDisk = 0;
    std::uint16_t totalEntries = 0;
    std::uint32_t directorySize = 0;
    std::uint32_t directoryOffset = 0;
    std::uint16_t commentLength = 0;
};

constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
// The record plus the longest comment: how far back the record can start.
constexpr std::uint64_t kEndRecordSearchSpan = kEndRecordSize + 65535;

// Reads exactly `length` bytes at `offset`. Returns false on a short read or an error.
bool ReadAt(int fd, std::uint64_t offset, void* buffer, std::size_t length);

// Finds the end of central directory record by searching backwards from the end
// of a file of `fileSize` bytes, over at most its last 65557 bytes, in blocks
// that overlap by 3 bytes. A signature is taken only when its record and comment
// fit in the file (so a signature inside a comment is passed over). Returns
// kZipOk with `record` filled, kZipNoEndRecord when no signature is there, or
// kZipBadArchive on a short read or when no signature starts a whole record.
int FindEndRecord(int fd, std::uint64_t fileSize, EndRecord& record);

// Parses `count` central directory headers from `directory`. Returns kZipOk with
// `entries` in directory order, or kZipBadArchive when a header is missing,
// has a wrong signature or runs past the end of the directory.
int ParseCentralDirectory(const std::string& directory, int count, std::vector<ZipEntry>& entries);

// Reads the local header at `offset` and gives the offset of the entry's data
// behind it, and the local header's flags. Returns kZipOk or kZipBadArchive.
int ReadLocalHeader(int fd, std::uint64_t offset, std::uint64_t& dataOffset,
                    std::uint16_t& localFlags);

// The host time of a DOS date and time, read as local time. Returns false when
// the date or time is not a valid one (month 0, hour 24, ...).
bool DosDateTimeToTime(std::uint16_t dosDate, std::uint16_t dosTime, std::time_t& result);

}  // namespace veldan::updater
