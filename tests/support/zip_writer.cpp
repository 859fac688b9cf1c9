#include "support/zip_writer.h"

#include <algorithm>
#include <stdexcept>

#include <zlib.h>

namespace veldan::test {
namespace {

void Put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::uint32_t Crc(std::string_view bytes) {
    return static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0),
                                            reinterpret_cast<const Bytef*>(bytes.data()),
                                            static_cast<uInt>(bytes.size())));
}

}  // namespace

std::uint16_t ZipWriter::DosDate(int year, int month, int day) {
    return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

std::uint16_t ZipWriter::DosTime(int hour, int minute, int second) {
    return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

std::string ZipWriter::Deflate(std::string_view bytes) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        throw std::runtime_error("deflateInit2 failed");
    }
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int r = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (r != Z_STREAM_END) throw std::runtime_error("deflate failed");
    return out;
}

void ZipWriter::AddFile(std::string_view name, std::string_view bytes,
                        const ZipFileOptions& options) {
    Item item;
    item.name = name;
    item.method = options.method;
    if (options.rawData) {
        item.data = *options.rawData;
    } else {
        item.data = options.method == 8 ? Deflate(bytes) : std::string(bytes);
    }
    item.flags = static_cast<std::uint16_t>((options.encrypted ? 0x0001 : 0) |
                                            (options.utf8Name ? 0x0800 : 0));
    item.dosDate = options.dosDate.value_or(DosDate(options.year, options.month, options.day));
    item.dosTime = options.dosTime.value_or(DosTime(options.hour, options.minute, options.second));
    item.crc = options.declaredCrc.value_or(Crc(bytes) ^ (options.corruptCrc ? 0x5A5A5A5Au : 0));
    item.compressedSize =
        options.declaredCompressedSize.value_or(static_cast<std::uint32_t>(item.data.size()));
    item.uncompressedSize =
        options.declaredUncompressedSize.value_or(static_cast<std::uint32_t>(bytes.size()));
    if (options.unixMode) {
        item.madeBy = (3 << 8) | 20;
        item.externalAttributes = (*options.unixMode << 16) | (options.dosAttributes & 0xFF);
    } else {
        item.madeBy = 20;
        item.externalAttributes = options.dosAttributes;
    }
    item.data.resize(item.data.size() - std::min(options.dropDataBytes, item.data.size()));
    items_.push_back(std::move(item));
}

void ZipWriter::AddFolder(std::string_view name, const ZipFileOptions& options) {
    std::string folder(name);
    if (folder.empty() || (folder.back() != '/' && folder.back() != '\\')) folder += '/';
    ZipFileOptions folderOptions = options;
    folderOptions.method = 0;
    folderOptions.dosAttributes |= 0x10;
    if (folderOptions.unixMode) *folderOptions.unixMode |= 0040000;
    AddFile(folder, "", folderOptions);
}

std::string ZipWriter::Finish() const {
    // The fields the local and the central header share, from the flags to the name length.
    auto putShared = [](std::string& archive, const Item& item) {
        Put16(archive, item.flags);
        Put16(archive, item.method);
        Put16(archive, item.dosTime);
        Put16(archive, item.dosDate);
        Put32(archive, item.crc);
        Put32(archive, item.compressedSize);
        Put32(archive, item.uncompressedSize);
        Put16(archive, static_cast<std::uint32_t>(item.name.size()));
    };
    std::string archive;  // offsets are relative to the archive, not the stub
    std::vector<std::uint32_t> offsets;
    for (const Item& item : items_) {
        offsets.push_back(static_cast<std::uint32_t>(archive.size()));
        Put32(archive, 0x04034b50);
        Put16(archive, 20);
        putShared(archive, item);
        Put16(archive, 0);
        archive += item.name;
        archive += item.data;
    }
    std::vector<std::uint32_t> headerOffsets = offsets;
    for (auto [index, sameAs] : shared_) headerOffsets.at(index) = offsets.at(sameAs);

    std::vector<int> order = order_;
    if (order.empty()) {
        for (std::size_t i = 0; i < items_.size(); ++i) order.push_back(static_cast<int>(i));
    }
    const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
    for (int index : order) {
        const Item& item = items_.at(static_cast<std::size_t>(index));
        Put32(archive, 0x02014b50);
        Put16(archive, item.madeBy);
        Put16(archive, 20);
        putShared(archive, item);
        Put16(archive, 0);  // extra
        Put16(archive, 0);  // comment
        Put16(archive, 0);  // disk
        Put16(archive, 0);  // internal attributes
        Put32(archive, item.externalAttributes);
        Put32(archive, headerOffsets.at(static_cast<std::size_t>(index)));
        archive += item.name;
    }
    const auto directorySize = static_cast<std::uint32_t>(archive.size() - directoryOffset);
    const std::uint16_t count = declaredCount_.value_or(static_cast<std::uint16_t>(order.size()));
    Put32(archive, 0x06054b50);
    Put16(archive, 0);
    Put16(archive, 0);
    Put16(archive, count);
    Put16(archive, count);
    Put32(archive, directorySize);
    Put32(archive, declaredOffset_.value_or(directoryOffset));
    Put16(archive, static_cast<std::uint32_t>(comment_.size()));
    archive += comment_;
    return stub_ + archive;
}

}  // namespace veldan::test
