#pragma once
// How an entry's attributes map to host permission bits. The DOS read-only bit
// takes away every write permission; an entry that is not read-only is
// writable by its owner, as a Windows file without that bit is. An archive made
// on Unix carries the file's permission bits, which are kept (never set-id or
// sticky bits, and always readable by the owner).

#include <sys/types.h>

#include "updater/zip_entry.h"

namespace veldan::updater {

// The permission bits of an extracted file. `baseMode` is what the file has
// without the entry's say: the replaced file's bits, or those of a new file.
mode_t FileModeFor(const ZipEntry& entry, mode_t baseMode);

// The permission bits of an extracted folder from an archive made on Unix
// (always open to its owner, so later entries can be written into it), or 0
// when the entry carries none: DOS attributes leave a folder as it is.
mode_t FolderModeFor(const ZipEntry& entry);

}  // namespace veldan::updater
