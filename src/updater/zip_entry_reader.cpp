#include "updater/zip_entry_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "updater/zip_format.h"
#include "updater/zip_result.h"

namespace veldan::updater {
namespace {

constexpr std::size_t kInputBlock = 65536;

}  // namespace

struct ZipEntryReader::Inflater {
    z_stream stream{};
    bool open = false;
    ~Inflater() {
        if (open) inflateEnd(&stream);
    }
};

ZipEntryReader::ZipEntryReader(int fd, const ZipEntry& entry, std::uint64_t dataOffset)
    : fd_(fd),
      entry_(entry),
      nextIn_(dataOffset),
      remainingIn_(entry.compressedSize),
      remainingOut_(entry.uncompressedSize) {}

ZipEntryReader::~ZipEntryReader() = default;

int ZipEntryReader::Begin() {
    crc_ = static_cast<std::uint32_t>(crc32(0, Z_NULL, 0));
    if (entry_.method == 0) return kZipOk;
    if (entry_.method != 8) return kZipBadArchive;
    inflater_ = std::make_unique<Inflater>();
    // A raw deflate stream: no zlib header, the full 32 KiB window.
    const int r = inflateInit2(&inflater_->stream, -MAX_WBITS);
    if (r != Z_OK) return r;
    inflater_->open = true;
    return kZipOk;
}

bool ZipEntryReader::Refill() {
    const std::size_t pending = inflater_ ? inflater_->stream.avail_in : input_.size() - inputUsed_;
    if (pending > 0 || remainingIn_ == 0) return true;
    const std::size_t n = std::min<std::size_t>(kInputBlock, remainingIn_);
    input_.resize(n);
    if (!ReadAt(fd_, nextIn_, input_.data(), n)) return false;
    nextIn_ += n;
    remainingIn_ -= static_cast<std::uint32_t>(n);
    inputUsed_ = 0;
    if (inflater_) {
        inflater_->stream.next_in = input_.data();
        inflater_->stream.avail_in = static_cast<uInt>(n);
    }
    return true;
}

int ZipEntryReader::Produce(unsigned char* out, std::size_t capacity, std::size_t& got) {
    got = 0;
    while (got < capacity && !ended_) {
        if (!Refill()) return kZipBadArchive;
        if (!inflater_) {
            const std::size_t take = std::min(capacity - got, input_.size() - inputUsed_);
            if (take == 0) {
                ended_ = true;  // the stored bytes are all read
                break;
            }
            std::memcpy(out + got, input_.data() + inputUsed_, take);
            inputUsed_ += take;
            got += take;
            continue;
        }
        z_stream& s = inflater_->stream;
        s.next_out = out + got;
        s.avail_out = static_cast<uInt>(capacity - got);
        const uInt before = s.avail_out;
        const int r = inflate(&s, Z_NO_FLUSH);
        got += before - s.avail_out;
        if (r == Z_STREAM_END) {
            ended_ = true;
        } else if (r == Z_BUF_ERROR || (r == Z_OK && before == s.avail_out && s.avail_in == 0)) {
            // No progress: the compressed data ran out before the stream ended.
            if (remainingIn_ == 0 && s.avail_in == 0) return kZipIncomplete;
        } else if (r != Z_OK) {
            return r == Z_NEED_DICT ? Z_DATA_ERROR : r;
        }
    }
    crc_ = static_cast<std::uint32_t>(crc32(crc_, out, static_cast<uInt>(got)));
    return kZipOk;
}

int ZipEntryReader::Read(unsigned char* out, std::size_t capacity, std::size_t& got) {
    const std::size_t want = std::min<std::size_t>(capacity, remainingOut_);
    const int r = Produce(out, want, got);
    remainingOut_ -= static_cast<std::uint32_t>(got);
    return r;
}

int ZipEntryReader::Finish() {
    // The declared size is reached; the data must end without another byte.
    unsigned char extra = 0;
    std::size_t got = 0;
    if (int r = Produce(&extra, 1, got); r != kZipOk) return r;
    if (got > 0) return kZipBadArchive;
    return crc_ == entry_.crc32 ? kZipOk : kZipBadCrc;
}

}  // namespace veldan::updater
