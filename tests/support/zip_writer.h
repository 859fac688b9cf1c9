#pragma once
// Builds ZIP archives in memory for tests: stored and deflated files, folders,
// an archive comment, a stub in front (as a self-extractor has), DOS times and
// attributes, and deliberate damage (wrong CRC, cut data, encrypted flag,
// unsupported method, sizes that lie, hostile names, a central directory out
// of the data's order).
//
//   ZipWriter w;
//   w.AddFile("a/b.txt", "bytes");
//   w.AddFolder("x/");
//   std::string zip = w.Finish();

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldan::test {

struct ZipFileOptions {
    std::uint16_t method = 8;  // 0 stored, 8 deflated; others are written stored but declared so
    // Modification time (local time), written as DOS date and time.
    int year = 2006, month = 3, day = 14, hour = 10, minute = 20, second = 30;
    // Raw DOS date and time; when set they replace the fields above.
    std::optional<std::uint16_t> dosDate, dosTime;
    std::uint32_t dosAttributes = 0x20;     // archive bit; 0x01 read-only, 0x10 folder
    std::optional<std::uint32_t> unixMode;  // made on Unix with this mode (e.g. 0100755)
    bool utf8Name = false;                  // set the UTF-8 name flag
    // Damage.
    bool corruptCrc = false;        // store a wrong CRC-32
    bool encrypted = false;         // set the encrypted flag (the data stays plain)
    std::size_t dropDataBytes = 0;  // write this many fewer data bytes than declared
    std::optional<std::uint32_t> declaredCompressedSize;
    std::optional<std::uint32_t> declaredUncompressedSize;
    std::optional<std::uint32_t> declaredCrc;
    // Written as the entry's data instead of the stored or deflated bytes (the
    // CRC-32 and sizes still describe `bytes`).
    std::optional<std::string> rawData;
};

class ZipWriter {
  public:
    // Adds a file entry holding `bytes`.
    void AddFile(std::string_view name, std::string_view bytes, const ZipFileOptions& options = {});
    // Adds a folder entry; a missing trailing "/" is added.
    void AddFolder(std::string_view name, const ZipFileOptions& options = {});
    // The archive comment (up to 65535 bytes).
    void SetComment(std::string_view comment) { comment_ = comment; }
    // Bytes placed in front of the archive; offsets stay relative to the archive.
    void SetStub(std::string_view stub) { stub_ = stub; }
    // The order of the central directory headers as indices into the added
    // entries (the data stays in the order added). Default: the order added.
    void SetDirectoryOrder(std::vector<int> order) { order_ = std::move(order); }
    // Overrides of the end record's fields.
    void SetDeclaredEntryCount(std::uint16_t count) { declaredCount_ = count; }
    void SetDeclaredDirectoryOffset(std::uint32_t offset) { declaredOffset_ = offset; }
    // Makes two central headers point at the same local header: header `index`
    // gets the offset of entry `sameAs`.
    void ShareLocalHeader(int index, int sameAs) { shared_.push_back({index, sameAs}); }

    // The whole archive (stub, local headers and data, central directory, end record).
    std::string Finish() const;

    // DOS date and time words.
    static std::uint16_t DosDate(int year, int month, int day);
    static std::uint16_t DosTime(int hour, int minute, int second);
    // Raw deflate (window bits -15) of `bytes`.
    static std::string Deflate(std::string_view bytes);

  private:
    struct Item {
        std::string name;
        std::string data;  // as written after the local header
        std::uint16_t method, flags, dosDate, dosTime, madeBy;
        std::uint32_t crc, compressedSize, uncompressedSize, externalAttributes;
    };
    std::vector<Item> items_;
    std::string comment_;
    std::string stub_;
    std::vector<int> order_;
    std::optional<std::uint16_t> declaredCount_;
    std::optional<std::uint32_t> declaredOffset_;
    std::vector<std::pair<int, int>> shared_;
};

}  // namespace veldan::test
