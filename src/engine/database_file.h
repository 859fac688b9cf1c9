#pragma once
// A database file read line by line from the disk, in bounded memory: the plain
// file when it opens, else the scrambled one (each line unscrambled). Plain files
// are read as UTF-8 when the whole file is valid UTF-8 (a byte-order mark is
// skipped), else as CP949; UTF-16LE files with a byte-order mark are read too.
// A line longer than kMaxDatabaseLine bytes is skipped whole.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "host/unique_fd.h"

namespace veldan::engine {

// No command line of a database comes near this; longer lines are skipped.
inline constexpr std::size_t kMaxDatabaseLine = 32 * 1024;

class DatabaseFile {
  public:
    // Receives the debug line about a skipped line.
    using DebugFn = std::function<void(const std::string&)>;

    DatabaseFile() = default;
    DatabaseFile(const DatabaseFile&) = delete;
    DatabaseFile& operator=(const DatabaseFile&) = delete;
    ~DatabaseFile();

    // Opens `plainPath`, else `scrambledPath` (host paths; a folder does not
    // open). False when neither opens.
    bool Open(const std::string& plainPath, const std::string& scrambledPath);
    // The next line as UTF-8: line end LF or CR LF; a NUL byte ends the line's
    // text. False at the end of the file.
    bool Next(std::string& line, const DebugFn& debug = nullptr);
    // True when the scrambled file is being read.
    bool scrambled() const { return scrambled_; }

  private:
    enum class Encoding { kUtf8, kCp949, kUtf16 };
    bool OpenFile(const std::string& path);
    void Close();
    bool Fill();
    // The raw bytes of the next line (without its LF); `tooLong` when it was
    // longer than the limit (then `raw` holds its start only).
    bool NextRaw(std::string& raw, bool& tooLong);
    bool ChooseEncoding();

    host::UniqueFd fd_;
    bool scrambled_ = false;
    Encoding encoding_ = Encoding::kUtf8;
    std::string buffer_;
    std::size_t begin_ = 0;  // unread bytes are buffer_[begin_, end_)
    std::size_t end_ = 0;
    bool eof_ = false;
    // A UTF-16 file is decoded whole (it is bounded in size) and served from here.
    std::string decoded_;
    std::size_t decodedPos_ = 0;
};

}  // namespace veldan::engine
