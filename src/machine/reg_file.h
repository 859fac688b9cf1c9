#pragma once
// .reg files: reading "REGEDIT4" and "Windows Registry Editor Version 5.00"
// files into a registry and writing a registry back as 5.00 text. Both work on
// the Registry interface, so every backend reads and writes them.

#include <string>
#include <string_view>

#include "machine/registry.h"

namespace veldan::machine {

struct RegFileError {
    std::string file;
    int line = 0;  // 1-based; 0 when the error is about the whole file
    std::string message;

    // "file:line: message" (or "file: message").
    std::string ToString() const;
};

// Applies the .reg text `bytes` (UTF-8, UTF-8 with BOM, or UTF-16LE with BOM;
// REGEDIT4 bytes that are not UTF-8 are read as CP949) to `registry`. Key
// sections create keys; "[-KEY]" deletes a tree and "name"=- a value. String data
// of hex(1), hex(2) and hex(7) values is UTF-16LE in 5.00 files and CP949 in
// REGEDIT4 files and is stored as UTF-8. Returns false with `error` filled at the
// first malformed line; `registry` is then left unchanged.
bool ApplyRegFile(std::string_view bytes, std::string_view fileName, Registry& registry,
                  RegFileError& error);

struct RegWriteOptions {
    // Values in the ordinal order of their upper-cased names ("@" first) instead of
    // creation order. Sub-keys are always written in enumeration order.
    bool sortValues = false;
    // REG_SZ data stored without its terminating NUL written as text too (as
    // regedit shows it) instead of hex(1); reading such text back adds the NUL.
    bool readableStrings = false;
};

// The whole registry (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, in that
// order) as "Windows Registry Editor Version 5.00" text with CR LF line ends.
// Every key is written, empty ones included, so the text rebuilds the same tree.
// Keys and values come in the registry's enumeration order. A link is written
// once, under the name of the key it stands for: HKLM\SYSTEM\CurrentControlSet,
// when HKLM\SYSTEM\Select "Current" names a control set that exists, is left out
// of every tree that holds it (and written under its own name only when it is
// the key asked for).
std::string WriteRegText(const Registry& registry, const RegWriteOptions& options);

// One key and its tree, named with the root's long name. Returns false when the
// key does not exist.
bool WriteRegKeyText(const Registry& registry, HKEY root, std::string_view subKey,
                     const RegWriteOptions& options, std::string& text);

}  // namespace veldan::machine
