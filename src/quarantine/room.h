#pragma once
// Room on the quarantine's disk. A cure moves the files it removes into the
// quarantine folder on the machine's own disk, so before it starts that disk
// must have room for all of them. Their compressed size is not known in
// advance: their raw size counts, plus a margin for the journal.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "machine/file_system.h"

namespace veldan::quarantine {

using machine::WinError;

// The bytes the quarantine needs to keep the files and folders `paths` (a
// folder with everything in it; each file counted once, missing ones not at
// all), plus the margin for the journal of `changes` changes.
std::uint64_t RoomToKeep(const machine::FileSystem& fs, const std::vector<std::string>& paths,
                         std::uint64_t changes);

// ERROR_SUCCESS when the disk that holds the quarantine folder `quarantine`
// (while it does not exist yet: the nearest folder above it) has `needed`
// bytes free for the caller. ERROR_DISK_FULL otherwise, with `problem` saying
// how much is free and how much is needed; any other error of the free-space
// call is passed on with its own `problem`.
[[nodiscard]] WinError CheckRoom(const machine::FileSystem& fs, std::string_view quarantine,
                                 std::uint64_t needed, std::string& problem);

// A byte count as people read it: "512 bytes", "3.4 MB", "2.0 GB".
std::string ByteText(std::uint64_t bytes);

}  // namespace veldan::quarantine
