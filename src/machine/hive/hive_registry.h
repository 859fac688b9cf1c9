#pragma once
// The registry of a Windows installation, kept in its hive files and reached
// through hivex.
//
// Each hive file is mounted at a key: SOFTWARE at HKLM\SOFTWARE, a user's
// NTUSER.DAT at HKCU, and so on. One file may show at several keys (NTUSER.DAT
// at HKCU and at HKU\<SID>), and a mount may show a key inside the file rather
// than its root (HKLM\SYSTEM\CurrentControlSet is SYSTEM's ControlSet00N). Keys
// above the mounts (HKLM, HKU) exist, have the mounts as sub-keys and hold
// nothing else: new keys and values cannot be made there, and mount points
// cannot be deleted.
//
// HKCR is the merged view of the classes: HKCU\Software\Classes over
// HKLM\Software\Classes. A key shows when either has it; its values and rights
// are those of the user's key when there is one. Changes go to the key that is
// shown; new keys are made under HKLM. Deleting a key deletes it from both.
//
// Key security is kept in memory only: every key starts with full control, and
// what SetKeySecurity sets lasts as long as this object. The hives' own
// security cells are neither read nor changed.
//
// Nothing reaches the disk before Commit.

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "machine/hive/hive_file.h"
#include "machine/registry.h"

namespace veldan::machine::hive {

class HiveRegistry final : public Registry {
  public:
    // `hasSecurity`: false for the 9x family, where SetKeySecurity is not implemented.
    explicit HiveRegistry(bool hasSecurity = true);
    ~HiveRegistry() override;

    // Shows the key `node` ("" for the root) of the hive file `hostPath` at
    // `root`\`path` (HKLM, HKCU or HKU). A file mounted before is not opened
    // again. A hive that was not cleanly written is refused unless `force`.
    // Returns false with `error` when the file cannot be opened as a hive or the
    // place is taken.
    bool Mount(HKEY root, std::string_view path, const std::string& hostPath, std::string_view node,
               bool force, std::string& error);

    // The Registry operations.
    VELDAN_REGISTRY_OPERATIONS;

    // True when a hive has changes not yet written.
    bool HasChanges() const;

    // Writes every changed hive back (see HiveFile::Commit), each on its own:
    // a failure leaves that hive as it was on disk and goes on with the others.
    // Returns false with the failures in `error`.
    bool Commit(bool backup, std::string& error);

    // The host paths of the mounted hive files, in mount order.
    std::vector<std::string> Files() const;
    // The backups Commit wrote, in mount order.
    std::vector<std::string> Backups() const;

  private:
    using Parts = std::vector<std::string_view>;
    struct MountPoint {
        HKEY root = 0;
        std::vector<std::string> parts;  // where it shows
        HiveFile* file = nullptr;
        std::vector<std::string> nodeParts;  // the key of the file shown there
    };
    enum class Kind { Missing, Virtual, Key };
    struct Loc {
        Kind kind = Kind::Missing;
        HiveFile* file = nullptr;
        hive_node_h node = 0;
        bool mountPoint = false;  // the path is a mount point (or a root)
    };

    static bool PrefixOf(const std::vector<std::string>& prefix, const Parts& parts);
    const MountPoint* Longest(HKEY root, const Parts& parts) const;
    hive_node_h MountNode(const MountPoint& m, bool create, int* err) const;
    Loc Find(HKEY root, const Parts& parts) const;
    // Sorted names of the direct sub-keys (hive keys and mount points).
    std::vector<std::string> SubKeyNames(HKEY root, const Parts& parts, const Loc& loc) const;
    // Mount points directly below the path (their names), or below it at any depth.
    std::vector<std::string> MountChildren(HKEY root, const Parts& parts) const;
    bool MountsBelow(HKEY root, const Parts& parts) const;
    bool TreeHasDenyDelete(const Loc& loc) const;
    bool TreeHoldsMountNode(const Loc& loc) const;
    void ForgetDenyDelete(const Loc& loc);

    WinError Create(HKEY root, const Parts& parts);
    WinError DeleteAt(HKEY root, const Parts& parts, bool tree);
    // DeleteKey (`tree` false: a key without sub-keys) and DeleteTree (`tree`: the
    // key and all below it).
    WinError Delete(HKEY root, std::string_view subKey, bool tree);
    WinError SetRaw(const Loc& loc, const RawValue& value);
    WinError RemoveValue(const Loc& loc, std::string_view name);

    // The two keys behind an HKCR path: the user's and the machine's. The parts
    // point into `path`, so a pair is filled where it stays and never copied.
    struct ClassesPair {
        ClassesPair() = default;
        ClassesPair(const ClassesPair&) = delete;
        ClassesPair& operator=(const ClassesPair&) = delete;
        Loc user, machine;
        std::vector<std::string> path;  // "Software", "Classes", then the HKCR path
        Parts parts;                    // the same, for HKCU and for HKLM
        const Loc& Shown() const { return user.kind != Kind::Missing ? user : machine; }
        bool Exists() const { return user.kind != Kind::Missing || machine.kind != Kind::Missing; }
    };
    void FindClasses(const Parts& parts, ClassesPair& pair) const;
    // The merged sub-key names of an HKCR key, from merged_ when nothing changed.
    const std::vector<std::string>& ClassesSubKeyNames(const ClassesPair& pair) const;
    std::vector<std::string> MergeClassesSubKeyNames(const ClassesPair& pair) const;
    // True when deleting the HKCR key (`tree`: with all below it) must be refused
    // for either of its two keys.
    bool ClassesDeleteRefused(const ClassesPair& pair, bool tree) const;

    // The key an operation works on: HKCR resolved to the shown key.
    Loc Resolve(HKEY root, const Parts& parts) const;

    bool hasSecurity_;
    std::vector<std::unique_ptr<HiveFile>> files_;
    std::vector<MountPoint> mounts_;
    std::set<std::pair<HiveFile*, hive_node_h>> denyDelete_;

    // The last merged HKCR list, so that enumerating a merged key with thousands
    // of sub-keys from 0 upwards does not merge once per call. It stands while
    // both keys are the same and neither file changed its key tree.
    struct MergedNames {
        Kind userKind = Kind::Missing, machineKind = Kind::Missing;
        HiveFile* userFile = nullptr;
        HiveFile* machineFile = nullptr;
        hive_node_h userNode = 0, machineNode = 0;
        std::uint64_t userGeneration = 0, machineGeneration = 0;
        bool valid = false;
        std::vector<std::string> names;
    };
    mutable MergedNames merged_;
    mutable std::vector<std::string> unmerged_;  // a list that may not be kept
    mutable std::recursive_mutex mutex_;
};

}  // namespace veldan::machine::hive
