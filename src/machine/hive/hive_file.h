#pragma once
// One registry hive file, read and changed through hivex. The whole file is held
// in memory; nothing reaches the disk before Commit, which writes a complete new
// file beside the old one and renames it over it (after a first backup).
//
// Keys are hivex node handles. Sub-key lists are cached sorted by their
// upper-cased names, so that look-ups and enumeration of keys with thousands of
// sub-keys cost one read of the list. Values keep the bytes the hive holds
// (strings in UTF-16LE); callers convert.

#include <hivex.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "machine/registry.h"

namespace veldan::machine::hive {

// A value as the hive stores it.
struct RawValue {
    std::string name;  // UTF-8
    std::uint32_t type = 0;
    std::string bytes;

    bool operator==(const RawValue&) const = default;
};

// Registry values to and from their hive form: strings (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) are UTF-16LE in a hive and UTF-8 in this system; other types
// keep their bytes.
RawValue ToHiveValue(std::string_view name, const RegValue& value);
RegValue FromHiveValue(const RawValue& raw);

// What the first look at a hive file found.
struct HiveHeader {
    std::uint32_t primarySequence = 0;
    std::uint32_t secondarySequence = 0;
    std::uint32_t minorVersion = 0;

    // Windows writes equal sequence numbers when it finished writing the hive;
    // unequal ones mean changes may still wait in its .LOG file.
    bool Clean() const { return primarySequence == secondarySequence; }
};

// Reads the base block of a hive file. Returns false with `error` when the file
// cannot be read or is no hive.
bool ReadHiveHeader(const std::string& hostPath, HiveHeader& header, std::string& error);

// Where Commit puts its copies.
inline constexpr std::string_view kBackupSuffix = ".veldan-backup";
inline constexpr std::string_view kNewFileSuffix = ".veldan-new";

// The largest value a hive of version 1.4 or later keeps in one cell; larger
// ones are split into chained "db" cells there, which hivex does not write.
inline constexpr std::size_t kLargestSingleCellValue = 16344;

class HiveFile {
  public:
    struct Child {
        std::string name;   // as stored
        std::string upper;  // ASCII upper-cased, the sort key
        hive_node_h node = 0;
    };

    // Opens `hostPath`. A hive whose header says it was not cleanly written is
    // refused unless `force`. Returns null with `error` filled on failure.
    static std::unique_ptr<HiveFile> Open(const std::string& hostPath, bool force,
                                          std::string& error);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    const std::string& path() const { return path_; }
    const HiveHeader& header() const { return header_; }
    hive_node_h root() const { return root_; }

    // Bumped by every change of the key tree; cached node handles of other
    // objects are void when it moved.
    std::uint64_t generation() const { return generation_; }

    // Direct sub-keys, sorted by upper-cased name (then by name). Empty when the
    // key has none or cannot be read.
    const std::vector<Child>& Children(hive_node_h node);
    // The sub-key of that name (ASCII case ignored), or 0.
    hive_node_h FindChild(hive_node_h node, std::string_view name);
    // The parent of a key, or 0 for the root.
    hive_node_h Parent(hive_node_h node) const;
    // True when `ancestor` is `node` or lies above it.
    bool IsAncestor(hive_node_h ancestor, hive_node_h node) const;

    // Values in the order the hive keeps them (creation order). False when the
    // key's values cannot be read.
    bool ReadValues(hive_node_h node, std::vector<RawValue>& values);
    // The value of that name (ASCII case ignored); false when there is none.
    bool ReadValue(hive_node_h node, std::string_view name, RawValue& value);
    // The number of values, or 0.
    std::size_t ValueCount(hive_node_h node);
    // The name and value of the index-th value; false past the end.
    bool ValueAt(hive_node_h node, std::size_t index, RawValue& value);

    // The changes. Each returns 0 on success or an errno value. AddChild
    // refuses (ENOTSUP) a key that would leave the parent's sub-key list out of
    // the order Windows searches it in.
    int AddChild(hive_node_h parent, std::string_view name, hive_node_h& child);
    int DeleteTree(hive_node_h node);
    // Replaces the key's values with `values`, in that order.
    int WriteValues(hive_node_h node, const std::vector<RawValue>& values);

    bool dirty() const { return dirty_; }

    // Writes the hive back when it changed: a copy of the file as it is on disk
    // first (once per object; an existing backup is never replaced, the next
    // free "<file>.veldan-backup", "-2", "-3"... is taken), then the new content
    // to "<file>.veldan-new", flushed, read back as a hive, and renamed over the
    // file. On failure the file on disk is the one before the call and the
    // changes stay in memory. Returns false with `error`.
    bool Commit(bool backup, std::string& error);

    // The backup written by Commit ("" before the first one).
    const std::string& backupPath() const { return backupPath_; }

  private:
    HiveFile() = default;
    void Invalidate();
    bool ListInWindowsOrder(hive_node_h parent) const;
    const std::vector<hive_value_h>& ValueHandles(hive_node_h node);
    bool ReadRaw(hive_value_h handle, RawValue& value) const;

    std::string path_;
    hive_h* h_ = nullptr;
    hive_node_h root_ = 0;
    HiveHeader header_;
    bool dirty_ = false;
    std::uint64_t generation_ = 1;
    std::string backupPath_;
    std::unordered_map<hive_node_h, std::vector<Child>> children_;
    std::unordered_map<hive_node_h, std::vector<hive_value_h>> values_;
};

}  // namespace veldan::machine::hive
