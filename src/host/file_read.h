#pragma once
// Reading a whole host file.

#include <string>
#include <string_view>

namespace veldan::host {

// Reads the whole file `path` into `bytes`. False with errno set (and `bytes`
// unchanged) when it cannot be opened or read, also for a folder.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Opens the file `path` for reading as a descriptor in binary mode, not
// inherited by child processes; -1 with errno set when it cannot be opened.
int OpenReadDescriptor(const std::string& path);

// True when `path` names a file (not a folder) that exists.
bool IsRegularFile(const std::string& path);
// True when `path` names a file or a folder that exists.
bool PathExists(const std::string& path);

// `name` below the host folder `folder` ("/" between them). Host paths are
// UTF-8 on every system: no std::filesystem::path, whose narrow strings are in
// the ANSI code page on Windows.
std::string JoinHostPath(std::string_view folder, std::string_view name);

// Reads a file whole and decodes it as text (text::DecodeText: UTF-8, UTF-16LE
// with its byte-order mark, else CP949) to UTF-8. False when it cannot be read.
bool ReadTextFile(const std::string& path, std::string& utf8);

}  // namespace veldan::host
