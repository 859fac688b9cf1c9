#include "quarantine/payload.h"

#include <zlib.h>

#include <memory>
#include <vector>

#include "quarantine/sha256.h"
#include "quarantine/state.h"

namespace veldan::quarantine {
using namespace machine;

namespace {

constexpr std::size_t kBlock = 1 << 16;

// Calls `progress` at most every few megabytes and at the end.
class Ticker {
  public:
    Ticker(const ByteProgress& progress, std::uint64_t total)
        : progress_(progress), total_(total) {}
    void Add(std::uint64_t n) {
        done_ += n;
        if (progress_ && done_ - told_ >= (std::uint64_t{8} << 20)) {
            told_ = done_;
            progress_(done_, total_);
        }
    }
    void End() {
        if (progress_) progress_(done_, total_ < done_ ? done_ : total_);
    }

  private:
    const ByteProgress& progress_;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
    std::uint64_t told_ = 0;
};

WinError WriteOut(FileWriter& out, z_stream& z, std::vector<unsigned char>& buffer, int flush) {
    do {
        z.next_out = buffer.data();
        z.avail_out = static_cast<uInt>(buffer.size());
        const int rc = deflate(&z, flush);
        if (rc == Z_STREAM_ERROR) return ERROR_INVALID_DATA;
        const std::size_t have = buffer.size() - z.avail_out;
        if (have > 0) {
            if (WinError e = out.Write(buffer.data(), have)) return e;
        }
    } while (z.avail_out == 0);
    return ERROR_SUCCESS;
}

WinError Compress(FileReader& in, FileWriter& out, std::string& sha256, std::uint64_t& size,
                  Ticker& ticker) {
    z_stream z{};
    // 15 + 16: a gzip stream with its header and CRC.
    if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return ERROR_NOT_ENOUGH_MEMORY;
    std::unique_ptr<z_stream, decltype(&deflateEnd)> guard(&z, deflateEnd);
    std::vector<unsigned char> input(kBlock), output(kBlock);
    Sha256 digest;
    std::uint64_t total = 0;
    for (;;) {
        const long long n = in.Read(input.data(), input.size());
        if (n < 0) return ERROR_READ_FAULT;
        digest.Add(input.data(), static_cast<std::size_t>(n));
        total += static_cast<std::uint64_t>(n);
        z.next_in = input.data();
        z.avail_in = static_cast<uInt>(n);
        if (WinError e = WriteOut(out, z, output, n == 0 ? Z_FINISH : Z_NO_FLUSH)) return e;
        ticker.Add(static_cast<std::uint64_t>(n));
        if (n == 0) break;
    }
    sha256 = digest.Hex();
    size = total;
    return ERROR_SUCCESS;
}

WinError Decompress(FileReader& in, FileWriter& out, std::string& sha256, Ticker& ticker) {
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) return ERROR_NOT_ENOUGH_MEMORY;
    std::unique_ptr<z_stream, decltype(&inflateEnd)> guard(&z, inflateEnd);
    std::vector<unsigned char> input(kBlock), output(kBlock);
    Sha256 digest;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        const long long n = in.Read(input.data(), input.size());
        if (n < 0) return ERROR_READ_FAULT;
        if (n == 0) return ERROR_INVALID_DATA;  // the stream ends early
        ticker.Add(static_cast<std::uint64_t>(n));
        z.next_in = input.data();
        z.avail_in = static_cast<uInt>(n);
        while (z.avail_in > 0 && rc != Z_STREAM_END) {
            z.next_out = output.data();
            z.avail_out = static_cast<uInt>(output.size());
            rc = inflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return ERROR_INVALID_DATA;
            const std::size_t have = output.size() - z.avail_out;
            digest.Add(output.data(), have);
            if (have > 0) {
                if (WinError e = out.Write(output.data(), have)) return e;
            }
            if (rc == Z_BUF_ERROR && have == 0) break;
        }
    }
    sha256 = digest.Hex();
    return ERROR_SUCCESS;
}

}  // namespace

WinError StorePayload(FileSystem& fs, std::string_view source, std::string_view target,
                      std::string& sha256, std::uint64_t& size, const ByteProgress& progress) {
    std::uint64_t total = 0;
    (void)fs.GetFileSize(source, total);
    std::unique_ptr<FileReader> in;
    if (WinError e = fs.OpenRead(source, in)) return e;
    const std::string part = std::string(target) + ".part";
    std::unique_ptr<FileWriter> out;
    if (WinError e = fs.OpenWrite(part, WriteMode::CreateAlways, out)) return e;
    Ticker ticker(progress, total);
    WinError e = Compress(*in, *out, sha256, size, ticker);
    if (e == ERROR_SUCCESS) e = out->Flush();
    out.reset();
    if (e == ERROR_SUCCESS) e = fs.MoveFile(part, target, true);
    if (e != ERROR_SUCCESS) {
        (void)fs.DeleteFile(part);
        return e;
    }
    ticker.End();
    return ERROR_SUCCESS;
}

WinError UnpackPayload(FileSystem& fs, std::string_view source, std::string_view target,
                       std::string& sha256, const ByteProgress& progress) {
    std::uint64_t total = 0;
    (void)fs.GetFileSize(source, total);
    std::unique_ptr<FileReader> in;
    if (WinError e = fs.OpenRead(source, in)) return e;
    std::unique_ptr<FileWriter> out;
    if (WinError e = fs.OpenWrite(target, WriteMode::CreateAlways, out)) return e;
    Ticker ticker(progress, total);
    WinError e = Decompress(*in, *out, sha256, ticker);
    if (e == ERROR_SUCCESS) e = out->Flush();
    if (e == ERROR_SUCCESS) ticker.End();
    return e;
}

}  // namespace veldan::quarantine
