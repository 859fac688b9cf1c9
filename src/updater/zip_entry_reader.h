#pragma once
// The uncompressed bytes of one entry, read through libzip: stored data is
// copied, deflated data inflated, and libzip checks the CRC-32 once the data
// has ended. The reader never gives more than the entry's declared
// uncompressed size, and after that size it insists that the data ends there.

#include <cstddef>
#include <cstdint>

struct zip;
struct zip_file;

namespace veldan::updater {

class ZipEntryReader {
  public:
    // Reads entry `index` (central directory order) of `archive`, declared to
    // give `uncompressedSize` bytes.
    ZipEntryReader(struct zip* archive, std::uint64_t index, std::uint32_t uncompressedSize);
    ~ZipEntryReader();
    ZipEntryReader(const ZipEntryReader&) = delete;
    ZipEntryReader& operator=(const ZipEntryReader&) = delete;

    // Opens the entry. Returns kZipOk, kZipEncrypted, kZipBadArchive for a
    // method libzip cannot read or an entry it cannot find, or zlib's error code.
    int Begin();
    // Gives up to `capacity` further bytes (never past the declared size) in
    // `got`; 0 bytes when the data has ended. Returns kZipOk or the failure.
    int Read(unsigned char* out, std::size_t capacity, std::size_t& got);
    // After the declared size was read: checks that the data ends there and
    // that its CRC-32 matches. Returns kZipOk, kZipBadArchive when the data
    // holds more than was declared, kZipBadCrc, kZipIncomplete, or zlib's code.
    int Finish();

    // Bytes still to come of the declared uncompressed size.
    std::uint32_t remaining() const { return remainingOut_; }

  private:
    int LastError() const;

    struct zip* archive_;
    std::uint64_t index_;
    std::uint32_t remainingOut_;
    struct zip_file* file_ = nullptr;
};

}  // namespace veldan::updater
