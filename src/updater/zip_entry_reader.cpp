#include "updater/zip_entry_reader.h"

#include <algorithm>

#include <zlib.h>

#include "updater/zip_format.h"
#include "updater/zip_result.h"

namespace veldan::updater {
namespace {

constexpr std::size_t kInputBuffer = 65536;

}  // namespace

struct ZipEntryReader::Stream {
    z_stream z{};
    bool open = false;
};

ZipEntryReader::ZipEntryReader(int fd, std::uint64_t dataOffset, std::uint32_t compressedSize,
                               std::uint32_t uncompressedSize, std::uint16_t method)
    : fd_(fd),
      position_(dataOffset),
      remainingIn_(compressedSize),
      remainingOut_(uncompressedSize),
      method_(method) {}

ZipEntryReader::~ZipEntryReader() {
    if (stream_ && stream_->open) inflateEnd(&stream_->z);
}

int ZipEntryReader::Begin() {
    crc_ = static_cast<std::uint32_t>(::crc32(0L, Z_NULL, 0));
    if (method_ == 0) return kZipOk;
    if (method_ != 8) return kZipBadArchive;
    input_.resize(kInputBuffer);
    stream_ = std::make_unique<Stream>();
    int r = inflateInit2(&stream_->z, -MAX_WBITS);
    if (r != Z_OK) return r;
    stream_->open = true;
    return kZipOk;
}

int ZipEntryReader::Fill() {
    const std::size_t n = std::min<std::size_t>(input_.size(), remainingIn_);
    if (!ReadAt(fd_, position_, input_.data(), n)) return kZipBadArchive;
    position_ += n;
    remainingIn_ -= static_cast<std::uint32_t>(n);
    stream_->z.next_in = input_.data();
    stream_->z.avail_in = static_cast<uInt>(n);
    return kZipOk;
}

int ZipEntryReader::Inflate(unsigned char* out, std::size_t capacity, std::size_t& got) {
    z_stream& z = stream_->z;
    z.next_out = out;
    z.avail_out = static_cast<uInt>(capacity);
    while (z.avail_out > 0 && !streamEnded_) {
        if (z.avail_in == 0 && remainingIn_ > 0) {
            if (int r = Fill(); r != kZipOk) return r;
        }
        int r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_STREAM_END) {
            streamEnded_ = true;
        } else if (r == Z_BUF_ERROR) {
            // No progress: the compressed bytes ran out before the stream's end.
            if (z.avail_in == 0 && remainingIn_ == 0) return kZipIncomplete;
            return Z_BUF_ERROR;
        } else if (r == Z_NEED_DICT) {
            return Z_DATA_ERROR;
        } else if (r != Z_OK) {
            return r;
        }
    }
    got = capacity - z.avail_out;
    return kZipOk;
}

int ZipEntryReader::Read(unsigned char* out, std::size_t capacity, std::size_t& got) {
    got = 0;
    const std::size_t want = std::min<std::size_t>(capacity, remainingOut_);
    if (want == 0) return kZipOk;
    if (method_ == 0) {
        if (want > remainingIn_) return kZipIncomplete;
        if (!ReadAt(fd_, position_, out, want)) return kZipBadArchive;
        position_ += want;
        remainingIn_ -= static_cast<std::uint32_t>(want);
        got = want;
    } else if (int r = Inflate(out, want, got); r != kZipOk) {
        return r;
    }
    crc_ = static_cast<std::uint32_t>(::crc32(crc_, out, static_cast<uInt>(got)));
    remainingOut_ -= static_cast<std::uint32_t>(got);
    return kZipOk;
}

int ZipEntryReader::Finish() {
    if (method_ == 0 || streamEnded_) return kZipOk;
    // The declared size is reached; the stream must end without another byte.
    unsigned char extra = 0;
    std::size_t got = 0;
    if (int r = Inflate(&extra, 1, got); r != kZipOk) return r;
    return got > 0 ? kZipBadArchive : kZipOk;
}

}  // namespace veldan::updater
