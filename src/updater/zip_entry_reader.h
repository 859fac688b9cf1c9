#pragma once
// The uncompressed bytes of one entry, read from the archive file: stored data
// is copied, deflated data inflated (raw deflate, zlib window bits -15). The
// reader never gives more than the entry's declared uncompressed size and keeps
// the CRC-32 of what it gave.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace veldan::updater {

class ZipEntryReader {
  public:
    // Reads `compressedSize` bytes at `dataOffset` of `fd` with `method` (0 or 8),
    // declared to give `uncompressedSize` bytes.
    ZipEntryReader(int fd, std::uint64_t dataOffset, std::uint32_t compressedSize,
                   std::uint32_t uncompressedSize, std::uint16_t method);
    ~ZipEntryReader();
    ZipEntryReader(const ZipEntryReader&) = delete;
    ZipEntryReader& operator=(const ZipEntryReader&) = delete;

    // Prepares the stream. Returns kZipOk, kZipBadArchive for an unknown method,
    // or zlib's error code.
    int Begin();
    // Gives up to `capacity` further bytes (never past the declared size) in
    // `got`; 0 bytes when the data has ended. Returns kZipOk, kZipBadArchive when
    // the archive cannot be read, kZipIncomplete when the deflate stream is cut
    // short, or zlib's error code.
    int Read(unsigned char* out, std::size_t capacity, std::size_t& got);
    // After the declared size was read: checks that the data ends there. Returns
    // kZipOk, kZipBadArchive when the stream holds more than was declared,
    // kZipIncomplete when it lacks its end, or zlib's error code.
    int Finish();

    // Bytes still to come of the declared uncompressed size.
    std::uint32_t remaining() const { return remainingOut_; }
    // The CRC-32 of the bytes given so far.
    std::uint32_t crc32() const { return crc_; }

  private:
    int Fill();
    int Inflate(unsigned char* out, std::size_t capacity, std::size_t& got);

    struct Stream;
    int fd_;
    std::uint64_t position_;
    std::uint32_t remainingIn_;
    std::uint32_t remainingOut_;
    std::uint16_t method_;
    std::uint32_t crc_ = 0;
    bool streamEnded_ = false;
    std::vector<unsigned char> input_;
    std::unique_ptr<Stream> stream_;
};

}  // namespace veldan::updater
