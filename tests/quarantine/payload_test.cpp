// Kept file contents: gzip through the machine's file system in fixed blocks,
// whatever the size, with progress; a damaged payload is refused.

#include <gtest/gtest.h>

#include <algorithm>

#include "machine/forwarding.h"
#include "machine/memory/memory_file_system.h"
#include "noise.h"
#include "quarantine/payload.h"
#include "quarantine/state.h"

namespace veldan::quarantine {
namespace {

using namespace machine;

TEST(Payload, RoundTripKeepsEveryByteAndReportsProgress) {
    memory::MemoryFileSystem fs;
    // Large enough for several progress reports, half noise, half text.
    const std::string bytes = Noise(9 << 20) + std::string(9 << 20, 'a');
    ASSERT_EQ(fs.WriteFile("C:\\big.bin", bytes), ERROR_SUCCESS);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> seen;
    std::string sha;
    std::uint64_t size = 0;
    ASSERT_EQ(StorePayload(
                  fs, "C:\\big.bin", "C:\\000001.gz", sha, size,
                  [&](std::uint64_t done, std::uint64_t total) { seen.emplace_back(done, total); }),
              ERROR_SUCCESS);
    EXPECT_EQ(size, bytes.size());
    EXPECT_EQ(sha, Sha256Hex(bytes));
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back().first, bytes.size());
    EXPECT_EQ(seen.back().second, bytes.size());
    std::uint32_t a = 0;
    EXPECT_EQ(fs.GetAttributes("C:\\000001.gz.part", a), ERROR_FILE_NOT_FOUND);

    std::string kept;
    ASSERT_EQ(fs.ReadFile("C:\\000001.gz", kept), ERROR_SUCCESS);
    EXPECT_LT(kept.size(), bytes.size());
    EXPECT_EQ(kept.find(std::string(4096, 'a')), std::string::npos);  // compressed, not stored

    std::string back;
    ASSERT_EQ(UnpackPayload(fs, "C:\\000001.gz", "C:\\back.bin", sha), ERROR_SUCCESS);
    ASSERT_EQ(fs.ReadFile("C:\\back.bin", back), ERROR_SUCCESS);
    EXPECT_TRUE(back == bytes);
    EXPECT_EQ(sha, Sha256Hex(bytes));
}

TEST(Payload, ADamagedOrCutPayloadIsRefused) {
    memory::MemoryFileSystem fs;
    ASSERT_EQ(fs.WriteFile("C:\\f.txt", Noise(100000)), ERROR_SUCCESS);
    std::string sha;
    std::uint64_t size = 0;
    ASSERT_EQ(StorePayload(fs, "C:\\f.txt", "C:\\p.gz", sha, size), ERROR_SUCCESS);
    std::string kept;
    ASSERT_EQ(fs.ReadFile("C:\\p.gz", kept), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\cut.gz", kept.substr(0, kept.size() / 2)), ERROR_SUCCESS);
    std::string flipped = kept;
    flipped[flipped.size() / 2] ^= 0x55;
    ASSERT_EQ(fs.WriteFile("C:\\flipped.gz", flipped), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\plain.gz", "not gzip at all"), ERROR_SUCCESS);
    for (const char* bad : {"C:\\cut.gz", "C:\\flipped.gz", "C:\\plain.gz"}) {
        std::string got;
        EXPECT_EQ(UnpackPayload(fs, bad, "C:\\out.bin", got), ERROR_INVALID_DATA) << bad;
    }
    std::string got;
    EXPECT_EQ(UnpackPayload(fs, "C:\\missing.gz", "C:\\out.bin", got), ERROR_FILE_NOT_FOUND);
}

// A drive whose file "C:\\huge.bin" is `size` bytes made up as they are read,
// and whose writes are counted and dropped: nothing is held in memory. It
// notes the largest block read or written.
class Streaming final : public ForwardingFileSystem {
  public:
    Streaming(FileSystem& inner, std::uint64_t size) : ForwardingFileSystem(inner), size_(size) {}
    WinError GetFileSize(std::string_view, std::uint64_t& size) const override {
        size = size_;
        return ERROR_SUCCESS;
    }
    WinError OpenRead(std::string_view, std::unique_ptr<FileReader>& reader) const override {
        reader = std::make_unique<Reader>(*const_cast<Streaming*>(this));
        return ERROR_SUCCESS;
    }
    WinError OpenWrite(std::string_view, WriteMode, std::unique_ptr<FileWriter>& writer) override {
        writer = std::make_unique<Writer>(*this);
        return ERROR_SUCCESS;
    }
    WinError MoveFile(std::string_view, std::string_view, bool) override { return ERROR_SUCCESS; }

    std::uint64_t size_, read_ = 0, written_ = 0;
    std::size_t largestRead_ = 0, largestWrite_ = 0;

  private:
    class Reader final : public FileReader {
      public:
        explicit Reader(Streaming& s) : s_(s) {}
        long long Read(void* buffer, std::size_t size) override {
            s_.largestRead_ = std::max(s_.largestRead_, size);
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(size, s_.size_ - s_.read_));
            auto* p = static_cast<unsigned char*>(buffer);
            for (std::size_t i = 0; i < n; ++i)
                p[i] = static_cast<unsigned char>((s_.read_ + i) % 251);
            s_.read_ += n;
            return static_cast<long long>(n);
        }

      private:
        Streaming& s_;
    };
    class Writer final : public FileWriter {
      public:
        explicit Writer(Streaming& s) : s_(s) {}
        WinError Write(const void*, std::size_t size) override {
            s_.largestWrite_ = std::max(s_.largestWrite_, size);
            s_.written_ += size;
            return ERROR_SUCCESS;
        }
        WinError Flush() override { return ERROR_SUCCESS; }

      private:
        Streaming& s_;
    };
};

TEST(Payload, AFileOfAnySizeStreamsInFixedBlocks) {
    memory::MemoryFileSystem drive;
    Streaming fs(drive, std::uint64_t{96} << 20);
    std::string sha;
    std::uint64_t size = 0;
    int reports = 0;
    ASSERT_EQ(StorePayload(fs, "C:\\huge.bin", "C:\\k.gz", sha, size,
                           [&](std::uint64_t, std::uint64_t) { ++reports; }),
              ERROR_SUCCESS);
    EXPECT_EQ(size, std::uint64_t{96} << 20);
    EXPECT_EQ(fs.read_, size);
    EXPECT_GT(fs.written_, 0u);
    EXPECT_LE(fs.largestRead_, std::size_t{1} << 16);
    EXPECT_LE(fs.largestWrite_, std::size_t{1} << 16);
    EXPECT_GE(reports, 10);
}

}  // namespace
}  // namespace veldan::quarantine
