#include "updater/zip_result.h"

#include <zlib.h>

namespace veldan::updater {

const char* ZipResultText(int code) {
    switch (code) {
        case kZipOk:
            return "success";
        case kZipBadArchive:
            return "unreadable or inconsistent archive";
        case kZipBadCrc:
            return "CRC-32 mismatch";
        case kZipEncrypted:
            return "encrypted entry, no password given";
        case kZipNoEndRecord:
            return "end of central directory not found";
        case kZipUnsafeName:
            return "entry name leads outside the target folder";
        case kZipImplausibleSize:
            return "entry sizes beyond what the archive can hold";
        case kZipIncomplete:
            return "entry data incomplete";
        case kZipWriteFailed:
            return "cannot write to the target folder";
        case kZipAttributesFailed:
            return "cannot set the file's time or attributes";
        case kZipNotOpen:
            return "no archive open";
        case kZipBadIndex:
            return "no entry with that index";
        case Z_STREAM_ERROR:
            return "zlib: stream error";
        case Z_DATA_ERROR:
            return "zlib: data error";
        case Z_MEM_ERROR:
            return "zlib: out of memory";
        case Z_BUF_ERROR:
            return "zlib: buffer error";
        case Z_VERSION_ERROR:
            return "zlib: incompatible version";
        default:
            return code < 0 ? "zlib: error" : "unknown error";
    }
}

}  // namespace veldan::updater
