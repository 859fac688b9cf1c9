#include "updater/zip_archive.h"

#include <algorithm>
#include <cerrno>
#include <exception>

#include <sys/stat.h>

#include "updater/staged_file.h"
#include "updater/update_files.h"
#include "updater/zip_attributes.h"
#include "updater/zip_entry_reader.h"
#include "updater/zip_format.h"
#include "updater/zip_names.h"

namespace veldan::updater {
namespace {

// Deflate gives at most 258 bytes for 2 bits of input (about 1032:1); a
// declared size beyond that (plus a block's worth for tiny streams) is a lie.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
// A larger write buffer gains nothing.
constexpr int kMaxBufferSize = 16 << 20;

}  // namespace

ZipArchive::~ZipArchive() {
    Close();
}

int ZipArchive::Fail(int code) {
    lastError_ = code;
    return code;
}

int ZipArchive::Open(const std::string& hostPath) {
    Close();
    path_ = hostPath;
    lastError_ = kZipOk;
    const int fd = OpenForReading(hostPath);
    if (fd < 0) return Fail(kZipBadArchive);
    fd_.Reset(fd);
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return Fail(kZipBadArchive);
    }
    fileSize_ = static_cast<std::uint64_t>(st.st_size);
    int r = kZipBadArchive;
    try {
        r = ReadDirectory();
    } catch (const std::exception&) {
        r = kZipBadArchive;  // a directory too large to hold in memory
    }
    if (r != kZipOk) {
        Close();
        return Fail(r);
    }
    return kZipOk;
}

int ZipArchive::ReadDirectory() {
    EndRecord record;
    if (int r = FindEndRecord(fd_.get(), fileSize_, record); r != kZipOk) return r;
    // Spanned and split archives are not read.
    if (record.thisDisk != 0 || record.directoryDisk != 0 ||
        record.entriesOnDisk != record.totalEntries) {
        return kZipBadArchive;
    }
    if ((record.directorySize == 0) != (record.totalEntries == 0)) return kZipBadArchive;
    // The directory lies before the record; whatever is between them was put in
    // front of the archive (a self-extractor's stub) and shifts every offset.
    const std::uint64_t directoryEnd =
        static_cast<std::uint64_t>(record.directoryOffset) + record.directorySize;
    if (directoryEnd > record.position) return kZipBadArchive;
    bytesInFront_ = record.position - directoryEnd;
    directoryStart_ = record.directoryOffset + bytesInFront_;

    comment_.resize(record.commentLength);
    if (!ReadAt(fd_.get(), record.position + kEndRecordSize, comment_.data(), comment_.size())) {
        return kZipBadArchive;
    }
    std::string directory(record.directorySize, '\0');
    if (!ReadAt(fd_.get(), directoryStart_, directory.data(), directory.size()))
        return kZipBadArchive;
    if (int r = ParseCentralDirectory(directory, record.totalEntries, entries_); r != kZipOk) {
        return r;
    }

    // Index i is the i-th entry's data in the file.
    std::stable_sort(entries_.begin(), entries_.end(), [](const ZipEntry& a, const ZipEntry& b) {
        if (a.diskStart != b.diskStart) return a.diskStart < b.diskStart;
        return a.localHeaderOffset < b.localHeaderOffset;
    });
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const ZipEntry& e = entries_[i];
        if (e.diskStart != 0) return kZipBadArchive;
        if (i > 0 && e.localHeaderOffset == entries_[i - 1].localHeaderOffset) {
            return kZipBadArchive;
        }
        if (e.localHeaderOffset + bytesInFront_ + kLocalHeaderSize > directoryStart_) {
            return kZipBadArchive;
        }
    }
    return kZipOk;
}

void ZipArchive::Close() {
    fd_.Reset();
    fileSize_ = 0;
    bytesInFront_ = 0;
    directoryStart_ = 0;
    comment_.clear();
    entries_.clear();
}

int ZipArchive::Locate(const ZipEntry& entry, std::uint64_t& dataOffset) const {
    if (entry.IsEncrypted()) return kZipEncrypted;
    if (entry.method != 0 && entry.method != 8) return kZipBadArchive;
    if (entry.compressedSize > fileSize_) return kZipImplausibleSize;
    if (entry.method == 0 && entry.uncompressedSize != entry.compressedSize) return kZipBadArchive;
    if (entry.method == 8 &&
        entry.uncompressedSize > (std::uint64_t{entry.compressedSize} + 1) * kMaxDeflateRatio) {
        return kZipImplausibleSize;
    }
    std::uint16_t localFlags = 0;
    if (int r = ReadLocalHeader(fd_.get(), entry.localHeaderOffset + bytesInFront_, dataOffset,
                                localFlags);
        r != kZipOk) {
        return r;
    }
    if ((localFlags & 0x0041) != 0) return kZipEncrypted;
    // The data must end before the central directory starts.
    if (dataOffset + entry.compressedSize > directoryStart_) return kZipBadArchive;
    return kZipOk;
}

int ZipArchive::ExtractFile(int index, const std::string& folder, bool keepPath, int bufferSize) {
    if (!IsOpen()) return Fail(kZipNotOpen);
    if (index < 0 || index >= Count()) return Fail(kZipBadIndex);
    if (bufferSize <= 0) bufferSize = kDefaultBufferSize;
    bufferSize = std::min(bufferSize, kMaxBufferSize);
    int r = kZipWriteFailed;
    try {
        r = Extract(entries_[static_cast<std::size_t>(index)], folder, keepPath, bufferSize);
    } catch (const std::exception&) {
        r = kZipWriteFailed;  // out of memory on the way
    }
    return r == kZipOk ? kZipOk : Fail(r);
}

int ZipArchive::Extract(const ZipEntry& entry, const std::string& folder, bool keepPath,
                        int bufferSize) {
    std::vector<std::string> parts;
    int r = SplitStoredName(entry.name, parts);
    if (r != kZipOk) return r;
    if (entry.IsDirectory()) {
        // Without its path a folder entry names nothing to make.
        if (keepPath) r = ExtractFolder(entry, parts, folder);
    } else if (parts.empty()) {
        r = kZipUnsafeName;
    } else {
        if (!keepPath) parts = {parts.back()};
        std::uint64_t dataOffset = 0;
        r = Locate(entry, dataOffset);
        std::string destination;
        if (r == kZipOk) r = ResolveHostPath(folder, parts, false, true, destination);
        if (r == kZipOk) r = ExtractData(entry, dataOffset, destination, bufferSize);
    }
    return r;
}

int ZipArchive::ExtractFolder(const ZipEntry& entry, const std::vector<std::string>& parts,
                              const std::string& folder) {
    std::string path;
    if (int r = ResolveHostPath(folder, parts, true, true, path); r != kZipOk) return r;
    const mode_t mode = FolderModeFor(entry);
    if (!parts.empty() && mode != 0 && !SetFolderMode(path, mode)) {
        return kZipAttributesFailed;
    }
    return kZipOk;
}

int ZipArchive::ExtractData(const ZipEntry& entry, std::uint64_t dataOffset,
                            const std::string& destination, int bufferSize) {
    StagedFile out;  // removed again unless committed
    if (!out.Create(destination)) return kZipWriteFailed;
    ZipEntryReader reader(fd_.get(), entry, dataOffset);
    if (int r = reader.Begin(); r != kZipOk) return r;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(bufferSize));
    while (reader.remaining() > 0) {
        std::size_t got = 0;
        if (int r = reader.Read(buffer.data(), buffer.size(), got); r != kZipOk) return r;
        if (got == 0) break;
        if (!out.Write(buffer.data(), got)) return kZipWriteFailed;
    }
    if (reader.remaining() > 0) return kZipIncomplete;
    if (int r = reader.Finish(); r != kZipOk) return r;

    std::time_t time = 0;
    bool attributesSet = DosDateTimeToTime(entry.dosDate, entry.dosTime, time) && out.SetTime(time);
    attributesSet = out.SetMode(FileModeFor(entry, out.BaseMode())) && attributesSet;
    if (!out.Commit()) return kZipWriteFailed;
    return attributesSet ? kZipOk : kZipAttributesFailed;
}

}  // namespace veldan::updater
