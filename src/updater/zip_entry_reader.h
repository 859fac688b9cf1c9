#pragma once
// The uncompressed bytes of one entry, read with zlib straight from the
// archive file: stored data is copied, deflated data inflated (a raw deflate
// stream), and the CRC-32 compared once the data has ended. The reader never
// takes more than the entry's compressed size from the file, never gives more
// than its declared uncompressed size, and after that size it insists that
// the data ends there.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "updater/zip_entry.h"

namespace veldan::updater {

class ZipEntryReader {
  public:
    // Reads `entry`, whose data starts at `dataOffset` of the archive file `fd`.
    ZipEntryReader(int fd, const ZipEntry& entry, std::uint64_t dataOffset);
    ~ZipEntryReader();
    ZipEntryReader(const ZipEntryReader&) = delete;
    ZipEntryReader& operator=(const ZipEntryReader&) = delete;

    // Prepares the reading. Returns kZipOk, kZipBadArchive for a method other
    // than stored and deflated, or zlib's error code.
    int Begin();
    // Gives up to `capacity` further bytes (never past the declared size) in
    // `got`; 0 bytes when the data has ended. Returns kZipOk or the failure:
    // kZipIncomplete when the compressed data runs out, zlib's code for a
    // broken deflate stream.
    int Read(unsigned char* out, std::size_t capacity, std::size_t& got);
    // After the declared size was read: checks that the data ends there and
    // that its CRC-32 matches. Returns kZipOk, kZipBadArchive when the data
    // holds more than was declared, kZipBadCrc, kZipIncomplete, or zlib's code.
    int Finish();

    // Bytes still to come of the declared uncompressed size.
    std::uint32_t remaining() const { return remainingOut_; }

  private:
    struct Inflater;
    // Fills the input buffer from the file when it is empty; false on a read error.
    bool Refill();
    // Up to `capacity` bytes of the entry's data, whatever its declared size.
    int Produce(unsigned char* out, std::size_t capacity, std::size_t& got);

    int fd_;
    ZipEntry entry_;
    std::uint64_t nextIn_;        // file offset of the next compressed byte
    std::uint32_t remainingIn_;   // compressed bytes not yet taken from the file
    std::uint32_t remainingOut_;  // declared bytes not yet given
    std::uint32_t crc_ = 0;
    bool ended_ = false;  // the data has ended (stream end or stored size)
    std::vector<unsigned char> input_;
    std::size_t inputUsed_ = 0;  // bytes of input_ already consumed (stored data)
    std::unique_ptr<Inflater> inflater_;
};

}  // namespace veldan::updater
