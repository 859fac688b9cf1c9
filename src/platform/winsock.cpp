#include "platform/winsock.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/registry_ops.h"
#include "platform/reports.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::platform {
namespace {

using machine::ERROR_NO_MORE_ITEMS;
using machine::ERROR_SUCCESS;
using machine::HKEY_LOCAL_MACHINE;
using machine::RegValue;

constexpr std::string_view kPackedCatalogItem = "PackedCatalogItem";
constexpr std::string_view kLibraryPath = "LibraryPath";
constexpr std::string_view kNumCatalogEntries = "Num_Catalog_Entries";

// The values of one entry, in the order they are written.
using ValueList = std::vector<std::pair<std::string, RegValue>>;

// One entry as read before the rewrite: where it was and what it holds.
struct CatalogRecord {
    std::string oldName;
    ValueList values;
};

struct Catalog {
    std::string_view catalogKey;
    std::string_view entriesKey;
    // The library path an entry's pattern is matched against.
    std::string (*libraryPath)(Context& ctx, const std::string& entryKey);
};

std::string EntryKey(std::string_view entriesKey, std::string_view name) {
    std::string key(entriesKey);
    key += '\\';
    key.append(name);
    return key;
}

std::string EntryName(std::size_t position) {
    return text::Format("%012d", static_cast<int>(position));
}

// ---- transport catalog entries

// Every value of an entry exactly as stored (name, type, bytes) in its order:
// Windows versions keep values beside "PackedCatalogItem" (ProtocolName,
// ProviderInfo, ...) that a renumbered entry must keep too.
ValueList ReadEntry(Context& ctx, const std::string& entryKey) {
    ValueList values;
    for (std::uint32_t i = 0;; ++i) {
        std::string name;
        RegValue value;
        machine::WinError e = ctx.registry().EnumValue(HKEY_LOCAL_MACHINE, entryKey, i, name, &value);
        if (e == ERROR_NO_MORE_ITEMS) break;
        if (e != ERROR_SUCCESS) continue;
        values.emplace_back(std::move(name), std::move(value));
    }
    return values;
}

// The ANSI text at the start of the first 2048 bytes of "PackedCatalogItem".
std::string ProtocolLibraryPath(Context& ctx, const std::string& entryKey) {
    RegValue stored;
    if (ctx.registry().QueryValue(HKEY_LOCAL_MACHINE, entryKey, kPackedCatalogItem, stored) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::string_view bytes(stored.data);
    bytes = bytes.substr(0, kPackedCatalogItemRead);
    bytes = bytes.substr(0, bytes.find('\0'));
    return text::Cp949ToUtf8(bytes);
}

// ---- name-space catalog entries

std::string NameSpaceLibraryPath(Context& ctx, const std::string& entryKey) {
    std::string path;
    ReadStringValue(ctx, HKEY_LOCAL_MACHINE, entryKey, kLibraryPath, path);
    return path;
}

constexpr Catalog kProtocolCatalog{kProtocolCatalogKey, kProtocolEntriesKey, &ProtocolLibraryPath};
constexpr Catalog kNameSpaceCatalog{kNameSpaceCatalogKey, kNameSpaceEntriesKey,
                                    &NameSpaceLibraryPath};

// ---- the rewrite

// Makes the key hold exactly `values`: creates it, writes them, then removes the
// values it held that are not among them. False when a write failed.
bool WriteEntry(Context& ctx, const std::string& entryKey, const ValueList& values) {
    machine::Registry& reg = ctx.registry();
    if (reg.CreateKey(HKEY_LOCAL_MACHINE, entryKey) != ERROR_SUCCESS) return false;
    std::unordered_set<std::string> keep;
    for (const auto& [name, value] : values) {
        if (reg.SetValue(HKEY_LOCAL_MACHINE, entryKey, name, value) != ERROR_SUCCESS) return false;
        keep.insert(text::UpperAscii(name));
    }
    std::vector<std::string> stale;
    for (std::uint32_t i = 0;; ++i) {
        std::string name;
        machine::WinError e = reg.EnumValue(HKEY_LOCAL_MACHINE, entryKey, i, name, nullptr);
        if (e == ERROR_NO_MORE_ITEMS) break;
        if (e != ERROR_SUCCESS) continue;
        if (!keep.contains(text::UpperAscii(name))) stale.push_back(std::move(name));
    }
    for (const std::string& name : stale) {
        (void)reg.DeleteValue(HKEY_LOCAL_MACHINE, entryKey, name);
    }
    return true;
}

int Renumber(Context& ctx, const Catalog& catalog) {
    // A catalog whose entries cannot all be listed is left as it is: an entry
    // missing from the listing could be overwritten by a renumbered one.
    if (!KeyExists(ctx, HKEY_LOCAL_MACHINE, catalog.entriesKey)) return 0;
    std::vector<std::string> names;
    EnumSubKeyNames(ctx, HKEY_LOCAL_MACHINE, catalog.entriesKey, names);
    const int listed = CountSubKeys(ctx, HKEY_LOCAL_MACHINE, catalog.entriesKey);
    if (listed < 0 || static_cast<std::size_t>(listed) != names.size()) return 0;

    // Read everything before anything is written.
    std::vector<CatalogRecord> records;
    records.reserve(names.size());
    for (std::string& name : names) {
        ValueList values = ReadEntry(ctx, EntryKey(catalog.entriesKey, name));
        records.push_back({std::move(name), std::move(values)});
    }
    const std::size_t n = records.size();
    std::unordered_map<std::string, std::size_t> recordAt;  // upper-cased old name -> record
    for (std::size_t i = 0; i < n; ++i) recordAt.emplace(text::UpperAscii(records[i].oldName), i);

    // Write each entry under its new number, but only once the entry that holds
    // that number now has been written under its own new number. With names
    // listed in ascending order this is one pass from the first entry.
    std::vector<std::string> targets;
    targets.reserve(n);
    for (std::size_t i = 0; i < n; ++i) targets.push_back(EntryName(i + 1));
    std::vector<bool> written(n, false);
    std::size_t remaining = n;
    while (remaining > 0) {
        bool progress = false;
        for (std::size_t i = 0; i < n; ++i) {
            if (written[i]) continue;
            auto occupant = recordAt.find(targets[i]);
            if (occupant != recordAt.end() && occupant->second != i && !written[occupant->second]) {
                continue;
            }
            const std::string key = EntryKey(catalog.entriesKey, targets[i]);
            if (!WriteEntry(ctx, key, records[i].values)) {
                // Stop before anything is removed: every entry is still held by
                // its old key or by its new one.
                ReportKey(ctx, kFailed, HKEY_LOCAL_MACHINE, key);
                return 0;
            }
            written[i] = true;
            --remaining;
            progress = true;
        }
        if (!progress) return 0;  // old names that form a cycle: left as they are
    }

    // The count, once all entries are in place.
    machine::Registry& reg = ctx.registry();
    if (reg.CreateKey(HKEY_LOCAL_MACHINE, catalog.catalogKey) != ERROR_SUCCESS ||
        reg.SetValue(HKEY_LOCAL_MACHINE, catalog.catalogKey, kNumCatalogEntries,
                     RegValue::Dword(static_cast<std::uint32_t>(n))) != ERROR_SUCCESS) {
        ReportValue(ctx, kFailed, HKEY_LOCAL_MACHINE, catalog.catalogKey, kNumCatalogEntries);
        return 0;
    }

    // Last, the old keys that no new number reused.
    std::unordered_set<std::string> targetSet(targets.begin(), targets.end());
    for (const CatalogRecord& record : records) {
        if (targetSet.contains(text::UpperAscii(record.oldName))) continue;
        (void)reg.DeleteTree(HKEY_LOCAL_MACHINE, EntryKey(catalog.entriesKey, record.oldName));
    }
    return 1;
}

int FixCatalog(Context& ctx, const Catalog& catalog, std::string_view pattern, bool cure) {
    const std::string lowered = text::LowerAscii(pattern);
    std::vector<std::string> names;
    EnumSubKeyNames(ctx, HKEY_LOCAL_MACHINE, catalog.entriesKey, names);
    std::vector<std::string> matched;
    // An empty text is in every path: it would take every provider, the base
    // ones too, and leave the machine without a network.
    if (!lowered.empty()) {
        for (const std::string& name : names) {
            std::string key = EntryKey(catalog.entriesKey, name);
            if (!text::ContainsNoCase(catalog.libraryPath(ctx, key), lowered)) continue;
            if (cure || ReportFoundLsp(ctx, HKEY_LOCAL_MACHINE, key, lowered)) {
                matched.push_back(std::move(key));
            }
        }
    }
    if (cure) {
        for (const std::string& key : matched) DeleteKeyTree(ctx, HKEY_LOCAL_MACHINE, key);
        Renumber(ctx, catalog);
    }
    return static_cast<int>(matched.size());
}

}  // namespace

int LspFix(Context& ctx, std::string_view pattern, bool cure) {
    int found = FixProtocolCatalog(ctx, pattern, cure);
    found += FixNameSpaceCatalog(ctx, pattern, cure);
    return found > 0 ? 1 : 0;
}

int FixProtocolCatalog(Context& ctx, std::string_view pattern, bool cure) {
    return FixCatalog(ctx, kProtocolCatalog, pattern, cure);
}

int FixNameSpaceCatalog(Context& ctx, std::string_view pattern, bool cure) {
    return FixCatalog(ctx, kNameSpaceCatalog, pattern, cure);
}

int RenumberProtocolCatalog(Context& ctx) {
    return Renumber(ctx, kProtocolCatalog);
}

int RenumberNameSpaceCatalog(Context& ctx) {
    return Renumber(ctx, kNameSpaceCatalog);
}

}  // namespace veldan::platform
