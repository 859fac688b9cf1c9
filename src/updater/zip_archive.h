#pragma once
// A read-only ZIP archive (PKWARE application note format, single file, no
// ZIP64): open it, count and list its entries, extract an entry into a folder,
// close it. Entries are stored (method 0) or deflated (method 8); zlib inflates
// their data and the CRC-32 is checked (zip_entry_reader.h). The central
// directory gives the bytes in front of the archive (a self-extractor's stub,
// which shifts every offset), the order of the entries' data, and the raw
// fields the safety checks need.
//
// Entries are addressed by index 0 .. Count() - 1 in the order of their data in
// the file (the central directory sorted by disk and local header offset).
// Operations return kZipOk (0) or a code of zip_result.h and never throw; the
// code of the last failure stays readable in lastError().
//
// Extraction is guarded: a name leading outside the target folder is refused,
// sizes the archive cannot hold are refused before anything is written, no more
// than the declared size is ever written, and a file is written under a
// temporary name and renamed over the destination only when it is complete and
// its CRC-32 matches, so a failed entry leaves the destination as it was.

#include <cstdint>
#include <string>
#include <vector>

#include "host/unique_fd.h"
#include "updater/zip_entry.h"
#include "updater/zip_result.h"

namespace veldan::updater {

class ZipArchive {
  public:
    static constexpr int kDefaultBufferSize = 65536;

    ZipArchive() = default;
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Opens the archive at `hostPath` read-only and reads its central directory
    // (an archive already open is closed first). Returns kZipOk, kZipNoEndRecord
    // or kZipBadArchive.
    int Open(const std::string& hostPath);
    // The number of entries (the 16-bit total of the end record); 0 when closed.
    int Count() const { return static_cast<int>(entries_.size()); }
    // Extracts entry `index` into `folder`: with `keepPath` under its stored
    // folders (created when missing), else by its file name alone. A folder
    // entry creates the folder. An existing file is replaced. The file gets the
    // entry's modification time and read-only state (and the permission bits of
    // an archive made on Unix). `bufferSize` is the size of the write buffer.
    // Returns kZipOk or a failure code; on any failure but kZipAttributesFailed
    // the destination file is left as it was.
    int ExtractFile(int index, const std::string& folder, bool keepPath = true,
                    int bufferSize = kDefaultBufferSize);
    // Releases the file and the directory; nothing is written back.
    void Close();

    // True while an archive is open.
    bool IsOpen() const { return fd_.valid(); }
    // The entry at `index` (sorted order); `index` must be in range.
    const ZipEntry& Entry(int index) const { return entries_[static_cast<std::size_t>(index)]; }
    // All entries in sorted order.
    const std::vector<ZipEntry>& Entries() const { return entries_; }
    // The archive's comment (raw bytes).
    const std::string& Comment() const { return comment_; }
    // The number of bytes in front of the archive (a self-extractor's stub).
    std::uint64_t BytesInFront() const { return bytesInFront_; }
    // The path given to the last Open().
    const std::string& path() const { return path_; }
    // The code of the last failed operation, kZipOk when none failed yet.
    int lastError() const { return lastError_; }

  private:
    int ReadDirectory();
    int Extract(const ZipEntry& entry, const std::string& folder, bool keepPath, int bufferSize);
    int Locate(const ZipEntry& entry, std::uint64_t& dataOffset) const;
    int ExtractFolder(const ZipEntry& entry, const std::vector<std::string>& parts,
                      const std::string& folder);
    int ExtractData(const ZipEntry& entry, std::uint64_t dataOffset, const std::string& destination,
                    int bufferSize);
    int Fail(int code);

    std::string path_;
    host::UniqueFd fd_;
    std::uint64_t fileSize_ = 0;
    std::uint64_t bytesInFront_ = 0;
    std::uint64_t directoryStart_ = 0;  // file offset of the central directory
    std::string comment_;
    std::vector<ZipEntry> entries_;
    int lastError_ = kZipOk;
};

}  // namespace veldan::updater
