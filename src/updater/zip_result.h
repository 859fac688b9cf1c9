#pragma once
// Result codes of the ZIP reader. 0 is success; positive codes are the
// archive's own failures; negative codes are zlib's own error codes
// (Z_DATA_ERROR, Z_MEM_ERROR, ...), passed on unchanged so that a damaged
// deflate stream stays distinguishable from a damaged archive.

namespace veldan::updater {

enum ZipResult : int {
    kZipOk = 0,
    // The archive cannot be read, its records contradict each other, or an
    // entry uses a compression method other than stored (0) and deflated (8).
    kZipBadArchive = 101,
    // The extracted data does not match the entry's CRC-32.
    kZipBadCrc = 102,
    // The entry is encrypted and no password is given.
    kZipEncrypted = 110,
    // No end-of-central-directory record in the last 65557 bytes.
    kZipNoEndRecord = 116,
    // The entry's stored name is absolute, names a drive or a stream, holds a
    // ".." folder or a NUL byte: it would land outside the target folder.
    kZipUnsafeName = 120,
    // The entry declares sizes the archive cannot hold: more compressed bytes
    // than the archive has, or more uncompressed bytes than deflate can give.
    kZipImplausibleSize = 121,
    // The entry's data ended before its declared uncompressed size.
    kZipIncomplete = 122,
    // A folder or file in the target folder cannot be created, written or replaced.
    kZipWriteFailed = 123,
    // The file was extracted but its time or attributes could not be set.
    kZipAttributesFailed = 124,
    // No archive is open.
    kZipNotOpen = 125,
    // The entry index is outside 0 .. Count() - 1.
    kZipBadIndex = 126,
};

// True when `code` is one of zlib's error codes passed on.
inline bool IsZlibError(int code) {
    return code < 0;
}

// A short English text for a result code ("zlib: data error" for zlib codes).
const char* ZipResultText(int code);

}  // namespace veldan::updater
