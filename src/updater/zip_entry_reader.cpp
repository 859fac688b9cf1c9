#include "updater/zip_entry_reader.h"

#include <algorithm>

#include <zip.h>
#include <zlib.h>

#include "updater/zip_result.h"

namespace veldan::updater {
namespace {

// libzip's codes in the reader's terms.
int Translate(const zip_error_t* error) {
    const int system = zip_error_code_system(error);
    switch (zip_error_code_zip(error)) {
        case ZIP_ER_OK:
            return kZipOk;
        case ZIP_ER_CRC:
            return kZipBadCrc;
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
        case ZIP_ER_ENCRNOTSUPP:
            return kZipEncrypted;
        case ZIP_ER_EOF:
            return kZipIncomplete;
        case ZIP_ER_ZLIB:
            return system < 0 ? system : Z_DATA_ERROR;
        case ZIP_ER_COMPRESSED_DATA:
            return Z_DATA_ERROR;
        case ZIP_ER_MEMORY:
            return Z_MEM_ERROR;
        default:
            return kZipBadArchive;
    }
}

}  // namespace

ZipEntryReader::ZipEntryReader(struct zip* archive, std::uint64_t index,
                               std::uint32_t uncompressedSize)
    : archive_(archive), index_(index), remainingOut_(uncompressedSize) {}

ZipEntryReader::~ZipEntryReader() {
    if (file_ != nullptr) zip_fclose(file_);
}

int ZipEntryReader::LastError() const {
    return Translate(file_ != nullptr ? zip_file_get_error(file_) : zip_get_error(archive_));
}

int ZipEntryReader::Begin() {
    file_ = zip_fopen_index(archive_, index_, 0);
    if (file_ == nullptr) return LastError();
    return kZipOk;
}

int ZipEntryReader::Read(unsigned char* out, std::size_t capacity, std::size_t& got) {
    got = 0;
    const std::size_t want = std::min<std::size_t>(capacity, remainingOut_);
    while (got < want) {
        zip_int64_t n = zip_fread(file_, out + got, want - got);
        if (n < 0) {
            // Data that ends before its declared size fails libzip's CRC check
            // at its end; what went wrong is that it ended.
            const int r = LastError();
            return r == kZipBadCrc ? kZipIncomplete : r;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    remainingOut_ -= static_cast<std::uint32_t>(got);
    return kZipOk;
}

int ZipEntryReader::Finish() {
    // The declared size is reached; the data must end without another byte,
    // and reading its end lets libzip compare the CRC-32.
    unsigned char extra = 0;
    zip_int64_t n = zip_fread(file_, &extra, 1);
    if (n < 0) return LastError();
    return n > 0 ? kZipBadArchive : kZipOk;
}

}  // namespace veldan::updater
