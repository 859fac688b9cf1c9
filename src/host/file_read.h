#pragma once
// Reading a whole host file.

#include <string>

namespace veldan::host {

// Reads the whole file `path` into `bytes`. False with errno set (and `bytes`
// unchanged) when it cannot be opened or read, also for a folder.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Reads a file whole and decodes it as text (text::DecodeText: UTF-8, UTF-16LE
// with its byte-order mark, else CP949) to UTF-8. False when it cannot be read.
bool ReadTextFile(const std::string& path, std::string& utf8);

}  // namespace veldan::host
