#pragma once
// Empty registry hive files, laid out as Windows writes them: a 4 KiB base block
// ("regf", sequence numbers, version, root cell offset, checksum) and one 4 KiB
// hive bin holding the root key (an "nk" cell), its security cell ("sk") and
// free space. hivex fills such a file with keys and values; it cannot start one.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "machine/hive/hive_file.h"

namespace veldan::machine::hive {

struct EmptyHiveOptions {
    std::string rootName = "ROOT";   // name of the root key (ASCII)
    std::string fileName;            // kept in the base block (UTF-16, at most 31 characters)
    std::uint32_t minorVersion = 3;  // 3: values of any size live in one cell
    std::uint64_t timestamp = 0;     // FILETIME of the last write; 0 takes the current time
};

// Offsets and values of the base block that other parts of this system read.
inline constexpr std::size_t kBaseBlockSize = 0x1000;
inline constexpr std::size_t kPrimarySequenceOffset = 0x04;
inline constexpr std::size_t kSecondarySequenceOffset = 0x08;
inline constexpr std::size_t kMinorVersionOffset = 0x18;
inline constexpr std::size_t kChecksumOffset = 0x1FC;

// The bytes of a hive file that holds only its root key. Both sequence numbers
// are 1 (a cleanly written hive).
std::string EmptyHiveBytes(const EmptyHiveOptions& options = {});

// The checksum of a base block: the XOR of its first 127 double words.
std::uint32_t BaseBlockChecksum(const std::string& bytes);

// Writes an empty hive to a host file (replacing it). Returns false with
// `error` when it cannot be written.
bool WriteEmptyHive(const std::string& hostPath, const EmptyHiveOptions& options,
                    std::string& error);

// A name as Windows orders sub-key lists: UTF-16, upper-cased.
std::u16string WindowsSortKey(std::string_view name);

// A key with its values and sub-keys, to be written as a whole hive.
struct HiveTreeKey {
    std::string name;
    std::vector<RawValue> values;  // in this order
    std::vector<HiveTreeKey> children;

    // The sub-key of that name (ASCII case ignored), made when missing.
    HiveTreeKey& Child(std::string_view childName);
    // Takes the values and sub-keys of `other` in: its values replace those of
    // the same name in place or come after them, its sub-keys merge likewise.
    void Merge(const HiveTreeKey& other);
};

// The bytes of a hive holding `root`'s tree (its name is the root key's), laid
// out as Windows lays it out: sub-key lists ("lh") sorted by upper-cased name
// with their name hashes, values in order, one security cell for every key.
// Returns false with `error` when a key has more sub-keys than one list holds.
bool HiveBytes(const HiveTreeKey& root, const EmptyHiveOptions& options, std::string& bytes,
               std::string& error);

}  // namespace veldan::machine::hive
