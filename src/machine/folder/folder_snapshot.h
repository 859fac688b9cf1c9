#pragma once
// The names of host folders as read once, for the path look-ups of a machine.
//
// A FolderListing is one folder's entries as readdir gave them, with whether
// each is a folder (a symbolic link never is). A FolderSnapshot keeps the
// listings of the folders read so far, keyed by host path.
//
// What the snapshot trusts: a listing stays as read until the machine itself
// reports a change below it (Forget). Entries created, deleted or renamed on
// the host behind the machine's back are not seen by the object that read the
// folder before; a new object (a new run) reads the folders afresh. Only names
// and folder-or-not are kept: attributes, sizes and times are always asked of
// the host.

#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "machine/win32.h"

namespace veldan::machine::image {

// Hash of string keys that also takes string_views, so that a look-up needs no
// std::string of its key.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

class FolderListing {
  public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // Reads host folder `hostDir`. ERROR_PATH_NOT_FOUND when there is no such folder.
    static WinError Read(const std::string& hostDir, FolderListing& out);

    // Builds a listing from names, with `folders[i]` telling whether names[i] is a folder.
    FolderListing(std::vector<std::string> names, std::vector<bool> folders);
    FolderListing() = default;
    FolderListing(FolderListing&&) = default;
    FolderListing& operator=(FolderListing&&) = default;

    const std::vector<std::string>& names() const { return names_; }
    bool isFolder(std::size_t i) const { return folders_[i]; }

    // Index of the entry named exactly `name`; kNone when there is none.
    std::size_t FindExact(std::string_view name) const;
    // Index of the entry named `name` regardless of ASCII case (of several such,
    // the first in ordinal order); kNone when there is none.
    std::size_t FindAnyCase(std::string_view name) const;

    // Change stamp of the folder when it was read (used by callers that check it).
    std::int64_t mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;
    std::uint64_t inode = 0;

  private:
    void Index();

    std::vector<std::string> names_;
    std::vector<bool> folders_;
    // upper-cased -> first in ordinal order
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> upper_;
    bool caseTwins_ = false;  // two names differ only in case
};

class FolderSnapshot {
  public:
    // The listing kept for `hostDir`; null when none is kept.
    std::shared_ptr<const FolderListing> Find(const std::string& hostDir) const;
    // Keeps `listing` for `hostDir` unless something was forgotten since
    // `generation` (read before the folder was): that listing may be older.
    void Keep(const std::string& hostDir, std::shared_ptr<const FolderListing> listing,
              std::uint64_t generation);
    // Counts the Forget and ForgetAll calls.
    std::uint64_t generation() const;
    // Drops the listing of `hostDir` only.
    void Drop(const std::string& hostDir);

    // The entry at host path `hostPath` was created, deleted, renamed or
    // changed: drops the listing of its folder and those of `hostPath` and of
    // every folder below it.
    void Forget(const std::string& hostPath);
    // Drops every listing.
    void ForgetAll();

    std::size_t size() const;

  private:
    mutable std::shared_mutex mutex_;
    std::uint64_t generation_ = 0;
    std::unordered_map<std::string, std::shared_ptr<const FolderListing>> listings_;
};

}  // namespace veldan::machine::image
