#pragma once
// Mapping of Windows paths on drive C: to files of the host folder that holds
// the drive (an image's drive_c/). Names resolve without regard to ASCII case and
// through their long or generated 8.3 short form. Short names are generated per
// folder NAME~1.EXT style, unique within their folder, and stay the same for the
// life of this object (a name once given is never given to another entry).

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/ntfs_dos_name.h"
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
    // Short names are the ones `dosNames` reads when it gives a valid 8.3 name
    // that no other entry of the folder has; the others are generated. Without
    // a reader every short name is generated.
    explicit HostPaths(std::string driveRoot, DosNameReader dosNames = host::ReadNtfsDosName);

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

  private:
    struct Folder {
        std::map<std::string, std::string> shortOf;  // long name as on disk -> short name
        std::map<std::string, std::string> longOf;   // every short name given -> long name
        std::map<std::string, unsigned> lastNumber;  // NAME.EXT stem -> highest ~N given
    };
    // Gives short names to the entries `names` of the folder that have none yet.
    // The caller holds mutex_.
    Folder& Assign(const std::string& hostDir, const std::vector<std::string>& names) const;
    // The on-disk name of the entry of `hostDir` that `name` designates.
    WinError FindEntry(const std::string& hostDir, const std::string& name, std::string& onDisk,
                       bool& isFolder) const;
    WinError Walk(const WindowsPath& p, bool allowMissingLast, std::string& hostPath,
                  std::string* longForm, std::string* shortForm) const;

    // The names of a host folder, from a cache that is trusted only while the
    // folder's change time is the one seen when it was read, and only once that
    // time lies well in the past (a change within the same clock tick would
    // otherwise go unseen). Deep walks and scans look up missing names in the
    // same folders over and over; this spares a folder read per look-up.
    struct Listing {
        std::int64_t mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;
        std::uint64_t inode = 0;
        std::vector<std::string> names;
        std::unordered_map<std::string, std::string> byUpper;  // upper-cased -> first on-disk name
    };
    WinError CachedNames(const std::string& hostDir, std::vector<std::string>& names,
                         std::string* match = nullptr, const std::string* name = nullptr) const;

    std::string driveRoot_;
    DosNameReader dosNames_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, Folder> folders_;
    mutable std::mutex listingMutex_;
    mutable std::unordered_map<std::string, Listing> listings_;
};

}  // namespace veldan::machine::image
