#pragma once
// Mapping of Windows paths on drive C: to files of the host folder that holds
// the drive (an image's drive_c/). Names resolve without regard to ASCII case and
// through their long or generated 8.3 short form. Short names are generated per
// folder NAME~1.EXT style, unique within their folder, and stay the same for the
// life of this object (a name once given is never given to another entry).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/ntfs_dos_name.h"
#include "machine/folder/folder_snapshot.h"
#include "machine/short_names.h"
#include "machine/win32.h"
#include "machine/windows_path.h"

namespace veldan::machine::image {

// Reads the 8.3 name the host file system keeps for a file. Returns 1 with
// `dosName` set when the file has one, 0 when it has none, and -1 when the file
// system keeps no such names at all (the other entries of the folder are then
// not asked).
using DosNameReader = std::function<int(const std::string& hostPath, std::string& dosName)>;

// One entry of a host folder with its 8.3 name ("" when the name is one already).
struct FolderEntry {
    std::string name;
    std::string shortName;
};

class HostPaths {
  public:
    // How far folder listings, once read, are trusted.
    enum class Listings {
        // Checked against the folder's change time at every look-up (and kept
        // only once that time lies well in the past): changes made on the host
        // by anyone are seen at once.
        kChecked,
        // Kept for the life of this object as a snapshot (see folder_snapshot.h):
        // no host call for a look-up in a folder already read. Writes made
        // through this machine must be reported with Changed(); changes made on
        // the host behind its back are seen by the next object only.
        kSnapshot,
    };

    // Short names are the ones `dosNames` reads when it gives a valid 8.3 name
    // that no other entry of the folder has; the others are generated. Without
    // a reader every short name is generated.
    explicit HostPaths(std::string driveRoot, DosNameReader dosNames = host::ReadNtfsDosName,
                       Listings listings = Listings::kChecked);

    // The host folder holding drive C:.
    const std::string& driveRoot() const { return driveRoot_; }

    // Host path of an existing file or folder. A path with a trailing separator
    // must name a folder (ERROR_PATH_NOT_FOUND otherwise).
    WinError Resolve(std::string_view winPath, std::string& hostPath) const;
    WinError Resolve(const WindowsPath& path, std::string& hostPath) const;

    // Host path for a file or folder that may not exist yet: every folder on the
    // way must exist (ERROR_PATH_NOT_FOUND); a missing last component is taken
    // as given.
    WinError ResolveForCreate(std::string_view winPath, std::string& hostPath) const;

    // Long and short forms of an existing path: every component as on disk,
    // respectively in its 8.3 form; the drive letter as given, a trailing
    // separator kept, a "\\\\?\\" or "\\??\\" prefix dropped.
    WinError LongPath(std::string_view winPath, std::string& out) const;
    WinError ShortPath(std::string_view winPath, std::string& out) const;

    // The Windows path ("C:\\...") of a host path under the drive root.
    std::string ToWindowsPath(std::string_view hostPath) const;

    // The 8.3 name of the entry `longName` of host folder `hostDir`: the name
    // itself when it is one already, else the generated one ("" when the folder
    // has no such entry).
    std::string ShortName(const std::string& hostDir, const std::string& longName) const;

    // The entries of host folder `hostDir` in enumeration order (ordinal order of
    // the upper-cased names, then of the names), with their 8.3 names.
    // ERROR_PATH_NOT_FOUND when there is no such folder.
    WinError ListFolder(const std::string& hostDir, std::vector<FolderEntry>& entries) const;

    // Tells the listings that the file or folder at `hostPath` was created,
    // deleted, renamed or replaced: its folder, and it and everything below it
    // when it is a folder, are read again at the next look-up.
    void Changed(const std::string& hostPath) const;
    // Every folder is read again at the next look-up (after writes that went
    // around Changed, such as a restart's renames).
    void ChangedAll() const;

  private:
    struct Folder {
        std::map<std::string, std::string> shortOf;  // long name as on disk -> short name
        // Every short name given -> long name.
        std::map<std::string, std::string, std::less<>> longOf;
        std::map<std::string, unsigned> lastNumber;  // NAME.EXT stem -> highest ~N given
        std::shared_ptr<const FolderListing> assigned;  // the listing last named in full
    };
    // With kSnapshot: a folder a look-up walked to before, with what the next
    // look-ups in it need.
    // A folder part that did not walk is kept too, with its error.
    struct FoundFolder {
        WinError error = ERROR_SUCCESS;
        std::string hostDir;
        std::shared_ptr<const FolderListing> listing;
        // Its entry in folders_ (entries are never erased), found at the first
        // short-name look-up; read and set under mutex_.
        mutable Folder* names = nullptr;
    };
    // Gives short names to the entries of `listing` that have none yet (nothing
    // to do when that listing was named before). The caller holds mutex_.
    Folder& Assign(const std::string& hostDir,
                   const std::shared_ptr<const FolderListing>& listing) const;
    Folder& Assign(Folder& folder, const std::string& hostDir,
                   const std::shared_ptr<const FolderListing>& listing) const;
    // The on-disk name of the entry of `hostDir` that `name` designates.
    WinError FindEntry(const std::string& hostDir, std::string_view name, std::string& onDisk,
                       bool& isFolder) const;
    // The index in `dir`'s listing of the entry `name` designates; FolderListing::kNone.
    std::size_t EntryIn(const FoundFolder& dir, std::string_view name) const;
    // The last step of a walk with kSnapshot: `last` in folder `dir`.
    WinError StepInto(const FoundFolder& dir, std::string_view last, bool trailingSeparator,
                      bool allowMissingLast, std::string& hostPath) const;
    // The folder kept under `key`, or null.
    std::shared_ptr<const FoundFolder> KeptFolder(std::string_view key) const;
    // Walks to folder `folder` and keeps it under `key` (unless a change came in
    // meanwhile); a folder that is missing or misnamed is kept with its error.
    WinError WalkToFolder(std::string_view key, const WindowsPath& folder,
                          std::shared_ptr<const FoundFolder>& found) const;
    // With kSnapshot, a walk of the Windows path text that finds its folder by
    // the text before the last component: false when the path takes the full
    // walk (no folder part, a last component that vanishes or climbs, a folder
    // part that does not walk), else true with the walk's result in `result`.
    bool QuickWalk(std::string_view winPath, bool allowMissingLast, std::string& hostPath,
                   WinError& result) const;
    WinError Walk(const WindowsPath& p, bool allowMissingLast, std::string& hostPath,
                  std::string* longForm, std::string* shortForm) const;
    // Parses the Windows path and walks it; each output that is asked for is
    // set only when both succeed.
    WinError ParseAndWalk(std::string_view winPath, bool allowMissingLast, std::string* hostPath,
                          std::string* longForm, std::string* shortForm) const;
    // Walk, component by component from the drive's root.
    WinError WalkFromRoot(const WindowsPath& p, bool allowMissingLast, std::string& hostPath,
                          std::string* longForm, std::string* shortForm) const;

    // The listing of a host folder: from the snapshot, or with kChecked from a
    // cache trusted only while the folder's change time is the one seen when it
    // was read, and only once that time lies well in the past (a change within
    // the same clock tick would otherwise go unseen). Scans look up missing names
    // in the same folders over and over; this spares a folder read per look-up.
    WinError CachedNames(const std::string& hostDir,
                         std::shared_ptr<const FolderListing>& listing) const;

    std::string driveRoot_;
    DosNameReader dosNames_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, Folder> folders_;
    Listings trust_;
    mutable FolderSnapshot listings_;
    // With kSnapshot: host folders found before, by the text of their Windows
    // path as given ("C:\\WINDOWS\\system32"), or "|" and their components
    // ("|WINDOWS\\system32\\"), so that a look-up walks only its last component.
    // Emptied by every change the listings are told of.
    mutable std::shared_mutex foldersMutex_;
    // Shared, so that a look-up takes the folder without copying its path.
    mutable std::unordered_map<std::string, std::shared_ptr<const FoundFolder>, TextHash,
                               std::equal_to<>>
        foundFolders_;
};

}  // namespace veldan::machine::image
