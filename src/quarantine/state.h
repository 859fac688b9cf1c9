#pragma once
// The states a cure changes, taken before and after each change and kept in its
// journal as JSON: a registry key tree (every key, value, exact type and bytes,
// value order, whether the key may be deleted), the value list of one key, a
// key's security, and a file or folder (existence, long name, attributes,
// times, content digest). Restoring puts a state back; comparing tells whether
// the machine still shows the state the cure left.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "machine/file_system.h"
#include "machine/registry.h"

namespace veldan::quarantine {

using machine::HKEY;
using machine::WinError;
using Json = nlohmann::json;

// Bytes as lower-case hex digits, and back (false for text that is not hex).
std::string ToHex(std::string_view bytes);

// The time now in UTC, formatted by strftime's `format` ("%Y%m%dT%H%M%SZ").
std::string UtcNow(const char* format);
bool FromHex(std::string_view hex, std::string& bytes);

// SHA-256 of bytes as 64 hex digits.
std::string Sha256Hex(std::string_view bytes);

// The sub-key path with every component as the registry stores it (its case);
// the path as given where a component is missing.
std::string StoredKeyPath(const machine::Registry& reg, HKEY root, std::string_view subKey);

// The first key of the path that does not exist ("" when the whole path exists),
// as a sub-key path of the root.
std::string FirstMissingKey(const machine::Registry& reg, HKEY root, std::string_view subKey);

// The key with its whole tree, or null when the key does not exist.
Json CaptureTree(const machine::Registry& reg, HKEY root, std::string_view subKey);
// Creates the tree `tree` (as CaptureTree gave it) at `subKey`, which must not exist.
WinError WriteTree(machine::Registry& reg, HKEY root, std::string_view subKey, const Json& tree);

// The values of a key in their order, or null when the key does not exist.
Json CaptureValues(const machine::Registry& reg, HKEY root, std::string_view subKey);
// Makes the key's values exactly `values`, in that order.
WinError WriteValues(machine::Registry& reg, HKEY root, std::string_view subKey,
                     const Json& values);

// Whether the key may not be deleted, or null when the key does not exist.
Json CaptureSecurity(const machine::Registry& reg, HKEY root, std::string_view subKey);

// A file or folder: {"exists", "folder", "path" (long), "short", "attributes",
// "size", "sha256", "times": [creation, access, write]}; {"exists": false} when
// there is none. `digest` false leaves the content digest out (folders never have one).
Json CaptureFile(const machine::FileSystem& fs, std::string_view path, bool digest);
// True when two file states show the same thing: existence, kind and content
// digest (attributes, times and names have changes of their own).
bool SameFile(const Json& a, const Json& b);

}  // namespace veldan::quarantine
