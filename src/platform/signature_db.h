#pragma once
// The database state: what the loader read from the detection and cookie
// databases, and the deep-scan fingerprints during a scan's deep-scan pass.
// A load builds a fresh value and replaces the old one as a whole, so nothing
// of an earlier load survives it.

#include <cstdint>
#include <string>
#include <vector>

namespace veldan::platform {

// One fingerprint of the deep-scan database.
struct DeepScanRecord {
    std::int32_t entry = 0;
    std::uint32_t size = 0;
    std::string digest;
};

// The database state: what the loader read, and the deep-scan fingerprints
// during a scan's deep-scan pass.
struct CSignatureDb {
    std::string DatabaseVersion;
    std::int32_t PatternCount = 0;
    std::int32_t EntryCount = 0;
    std::vector<std::string> KillBitClsids;
    std::vector<std::string> KillBitNames;
    std::vector<std::string> ExclusionList;
    std::vector<std::string> CookieList;
    std::vector<std::string> DeepScanNames;
    std::vector<DeepScanRecord> DeepScanRecords;
    std::uint32_t DeepScanMinSize = 0xFFFFFFFFu;  // none
    std::uint32_t DeepScanMaxSize = 0xFFFFFFFFu;  // none
};

}  // namespace veldan::platform
