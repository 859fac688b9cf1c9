#pragma once
// The content of removed files as the quarantine keeps it: gzip-compressed, so
// that neither a scan nor Windows finds or runs it again. Both directions
// stream through the machine's file system in fixed-size blocks, so memory
// stays constant however large the file.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "machine/file_system.h"

namespace veldan::quarantine {

using machine::WinError;

// Bytes done so far and the total, now and then while a file streams.
using ByteProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Compresses the file `source` into `target` (written as `target`.part, made
// durable, then renamed, so a target that exists is whole). `sha256` gets the
// digest of the source bytes, `size` their number.
[[nodiscard]] WinError StorePayload(machine::FileSystem& fs, std::string_view source,
                                    std::string_view target, std::string& sha256,
                                    std::uint64_t& size, const ByteProgress& progress = {});

// Unpacks the payload `source` into the new file `target` (replaced when it
// exists), made durable. ERROR_INVALID_DATA for a damaged payload; `sha256`
// gets the digest of the unpacked bytes.
[[nodiscard]] WinError UnpackPayload(machine::FileSystem& fs, std::string_view source,
                                     std::string_view target, std::string& sha256,
                                     const ByteProgress& progress = {});

}  // namespace veldan::quarantine
