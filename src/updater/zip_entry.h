#pragma once
// One entry of a ZIP archive as its central directory header describes it.

#include <cstdint>
#include <string>

namespace veldan::updater {

struct ZipEntry {
    // The stored name as UTF-8: taken as it is when the archive flags it UTF-8
    // or it is valid UTF-8, otherwise read as CP949.
    std::string name;
    std::uint16_t versionMadeBy = 0;  // high byte: the host system (0 DOS, 3 Unix)
    std::uint16_t flags = 0;          // general purpose bit flags
    std::uint16_t method = 0;         // 0 stored, 8 deflated
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc32 = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t diskStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localHeaderOffset = 0;  // as stored, before the stub correction
    std::uint64_t directoryIndex = 0;     // position in the central directory

    static constexpr std::uint32_t kDosReadOnly = 0x01;
    static constexpr std::uint32_t kDosDirectory = 0x10;
    static constexpr std::uint8_t kHostUnix = 3;

    // True when the archive was made on Unix, so the external attributes carry a mode.
    bool MadeOnUnix() const { return (versionMadeBy >> 8) == kHostUnix; }
    // The Unix mode (type and permission bits) of an archive made on Unix, else 0.
    std::uint32_t UnixMode() const { return MadeOnUnix() ? externalAttributes >> 16 : 0; }
    // The DOS attribute bits (read-only 0x01, hidden 0x02, system 0x04, folder 0x10, ...).
    std::uint32_t DosAttributes() const { return externalAttributes & 0xFF; }
    // True when the DOS read-only bit is set.
    bool IsReadOnly() const { return (DosAttributes() & kDosReadOnly) != 0; }
    // True when the entry is encrypted (traditional or strong encryption).
    bool IsEncrypted() const { return (flags & 0x0041) != 0; }
    // True for a folder entry: a name ending in a separator, the DOS folder bit,
    // or a Unix folder mode.
    bool IsDirectory() const {
        if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return true;
        if ((DosAttributes() & kDosDirectory) != 0) return true;
        return (UnixMode() & 0170000) == 0040000;
    }
};

}  // namespace veldan::updater
