#pragma once
// The Winsock 2 catalogs: the transport (protocol) catalog and the name-space
// catalog under HKLM. LSPFix finds the entries whose provider library path
// contains a text, records them while scanning, and while curing deletes them
// and renumbers each catalog gap-free ("%012d" from 1) so that Winsock still
// finds every remaining entry.
//
// The renumbering reads the whole catalog first, writes the renumbered entries
// over the old numbers (each entry only after the old entry at its new number
// has been written elsewhere), writes the entry count, and removes the old keys
// left over only at the end. Wherever it stops, every entry is still held whole
// by some key of the catalog; a write that fails stops it before anything is
// removed, and is reported as a failed REGKEY (or REGVAL for the count).

#include <string_view>

#include "platform/context.h"

namespace veldan::platform {

inline constexpr std::string_view kProtocolCatalogKey =
    "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9";
inline constexpr std::string_view kProtocolEntriesKey =
    "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_"
    "Entries";
inline constexpr std::string_view kNameSpaceCatalogKey =
    "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\NameSpace_Catalog5";
inline constexpr std::string_view kNameSpaceEntriesKey =
    "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\NameSpace_Catalog5\\Catalog_"
    "Entries";

// The bytes of "PackedCatalogItem" that are looked at for the library path.
inline constexpr std::size_t kPackedCatalogItemRead = 2048;

// LSPFix: FixProtocolCatalog, then FixNameSpaceCatalog. 1 when either catalog
// had a matching entry (scan: newly recorded), else 0.
int LspFix(Context& ctx, std::string_view pattern, bool cure);

// Transport entries whose "PackedCatalogItem" library path contains the pattern
// (case ignored; an empty pattern matches none). Scan: records each with
// ReportFoundLsp and returns the number newly recorded. Cure: deletes them with
// DeleteKeyTree, renumbers the catalog (also when nothing matched) and returns
// the number matched.
int FixProtocolCatalog(Context& ctx, std::string_view pattern, bool cure);
// The same over the name-space catalog, matching its "LibraryPath" value.
int FixNameSpaceCatalog(Context& ctx, std::string_view pattern, bool cure);

// Rewrite a catalog with consecutive entry names in listing order. 1 when the
// catalog was rewritten whole; 0 when it was left alone (its entries key is
// missing or cannot be listed completely) or a write failed part way.
int RenumberProtocolCatalog(Context& ctx);
int RenumberNameSpaceCatalog(Context& ctx);

}  // namespace veldan::platform
