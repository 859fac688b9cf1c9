#include "engine/database_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "engine/scramble.h"
#include "host/file_read.h"
#include "text/codepage.h"
#include "text/lines.h"

namespace veldan::engine {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
// UTF-16 files are decoded whole; no database in that form comes near this.
constexpr std::size_t kMaxUtf16File = 64 * 1024 * 1024;

// The number of bytes at the end of `bytes` that start a UTF-8 sequence the
// chunk does not finish (0 to 3), so that a check can go on in the next chunk.
std::size_t UnfinishedTail(std::string_view bytes) {
    const std::size_t n = bytes.size();
    for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
        const unsigned char c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        std::size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return need > back ? back : 0;
    }
    return 0;
}

// The line as the engine reads it: up to its first NUL byte.
void CutAtNul(std::string& s) {
    std::size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
}

}  // namespace

DatabaseFile::~DatabaseFile() { Close(); }

void DatabaseFile::Close() {
    fd_.Reset();
}

bool DatabaseFile::OpenFile(const std::string& path) {
    Close();
    if (path.empty()) return false;
    host::UniqueFd fd(host::OpenReadDescriptor(path));
    if (!fd) return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    fd_ = std::move(fd);
    buffer_.assign(kChunk, '\0');
    begin_ = end_ = 0;
    eof_ = false;
    decoded_.clear();
    decodedPos_ = 0;
    return true;
}

bool DatabaseFile::Open(const std::string& plainPath, const std::string& scrambledPath) {
    if (OpenFile(plainPath)) {
        scrambled_ = false;
        return ChooseEncoding();
    }
    if (OpenFile(scrambledPath)) {
        scrambled_ = true;
        encoding_ = Encoding::kUtf8;  // lines are decoded one by one after unscrambling
        return true;
    }
    return false;
}

bool DatabaseFile::Fill() {
    if (eof_ || !fd_) return false;
    if (begin_ > 0) {
        buffer_.erase(0, begin_);
        end_ -= begin_;
        begin_ = 0;
        buffer_.resize(std::max(buffer_.size(), end_ + kChunk));
    }
    if (buffer_.size() - end_ < kChunk) buffer_.resize(end_ + kChunk);
    for (;;) {
        ssize_t n = ::read(fd_.get(), buffer_.data() + end_, buffer_.size() - end_);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            eof_ = true;
            return false;
        }
        end_ += static_cast<std::size_t>(n);
        return true;
    }
}

// Reads the plain file once to tell its encoding, then starts over.
bool DatabaseFile::ChooseEncoding() {
    std::string head(3, '\0');
    ssize_t got = ::pread(fd_.get(), head.data(), head.size(), 0);
    head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    std::size_t skip = 0;
    if (head.size() >= 2 && head.compare(0, 2, "\xFF\xFE") == 0) {
        encoding_ = Encoding::kUtf16;
        struct stat st {};
        if (::fstat(fd_.get(), &st) == 0 && static_cast<std::size_t>(st.st_size) <= kMaxUtf16File) {
            std::string bytes;
            while (Fill()) {
            }
            bytes.assign(buffer_.data() + begin_, end_ - begin_);
            decoded_ = text::DecodeText(bytes);
        }
        Close();
        return true;
    }
    if (head.size() >= 3 && head.compare(0, 3, "\xEF\xBB\xBF") == 0) skip = 3;

    bool valid = true;
    std::string carry;
    while (valid && Fill()) {
        std::string_view chunk(buffer_.data() + begin_, end_ - begin_);
        begin_ = end_;
        std::string piece = carry;
        piece.append(chunk);
        const std::size_t tail = UnfinishedTail(piece);
        valid = text::IsValidUtf8(std::string_view(piece).substr(0, piece.size() - tail));
        carry = piece.substr(piece.size() - tail);
    }
    valid = valid && carry.empty();
    encoding_ = valid ? Encoding::kUtf8 : Encoding::kCp949;

    if (::lseek(fd_.get(), static_cast<off_t>(skip), SEEK_SET) < 0) return false;
    begin_ = end_ = 0;
    eof_ = false;
    return true;
}

bool DatabaseFile::NextRaw(std::string& raw, bool& tooLong) {
    raw.clear();
    tooLong = false;
    bool any = false;
    for (;;) {
        const char* start = buffer_.data() + begin_;
        std::size_t avail = end_ - begin_;
        const void* nl = avail ? std::memchr(start, '\n', avail) : nullptr;
        std::size_t take = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - start)
                              : avail;
        if (take > 0 || nl) any = true;
        if (!tooLong) {
            if (raw.size() + take > kMaxDatabaseLine) {
                raw.append(start, kMaxDatabaseLine - raw.size());
                tooLong = true;
            } else {
                raw.append(start, take);
            }
        }
        if (nl) {
            begin_ += take + 1;
            break;
        }
        begin_ = end_;
        if (!Fill()) break;
    }
    if (!any) return false;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    return true;
}

bool DatabaseFile::Next(std::string& line, const DebugFn& debug) {
    if (encoding_ == Encoding::kUtf16) {
        text::TextLine cut;
        if (!text::NextLine(decoded_, decodedPos_, cut)) return false;
        line.assign(cut.text);
        // A last line without a line end loses its CR too, as the byte reader's do.
        if (cut.end.empty() && line.ends_with('\r')) line.pop_back();
        CutAtNul(line);
        return true;
    }
    // Reused from line to line, so that reading a line allocates nothing.
    thread_local std::string raw;
    bool tooLong = false;
    for (;;) {
        if (!NextRaw(raw, tooLong)) return false;
        if (!tooLong) break;
        if (debug) {
            debug("ReadLine... line too long, skipped... " +
                  text::DecodeText(std::string_view(raw).substr(0, 40)) + "\n");
        }
    }
    CutAtNul(raw);
    if (scrambled_) {
        std::string plain;
        Unscramble(raw, plain);
        CutAtNul(plain);
        line = text::DecodeText(plain);
    } else if (encoding_ == Encoding::kCp949) {
        line = text::Cp949ToUtf8(raw);
    } else {
        line.assign(raw);
    }
    return true;
}

}  // namespace veldan::engine
