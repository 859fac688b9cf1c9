#include "machine/hive/hive_writer.h"

#include "host/file_write.h"
#include "text/codepage.h"
#include "text/little_endian.h"
#include "text/strings.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <initializer_list>

namespace veldan::machine::hive {
namespace {

constexpr std::size_t kBinSize = 0x1000;
constexpr std::size_t kBinHeaderSize = 0x20;
constexpr std::size_t kNkFixedSize = 0x4C;
constexpr std::size_t kSkFixedSize = 0x14;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// Key flags: the root of a hive, not deletable, name stored in ASCII.
constexpr std::uint16_t kKeyHiveEntry = 0x0004;
constexpr std::uint16_t kKeyNoDelete = 0x0008;
constexpr std::uint16_t kKeyCompressedName = 0x0020;

void Put16(std::string& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Put64(std::string& b, std::size_t at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::size_t Align8(std::size_t n) {
    return (n + 7) & ~std::size_t{7};
}

// A SID in its binary form: revision 1, the authority, the sub-authorities.
std::string Sid(std::uint8_t authority, std::initializer_list<std::uint32_t> subs) {
    std::string s(8 + 4 * subs.size(), '\0');
    s[0] = 1;
    s[1] = static_cast<char>(subs.size());
    s[7] = static_cast<char>(authority);
    std::size_t at = 8;
    for (std::uint32_t sub : subs) {
        Put32(s, at, sub);
        at += 4;
    }
    return s;
}

// The self-relative security descriptor of the root key: owned by the
// Administrators, full control for them and for the system, read for everyone,
// inherited by sub-keys.
std::string RootSecurityDescriptor() {
    const std::string admins = Sid(5, {32, 544});
    const std::string system = Sid(5, {18});
    const std::string everyone = Sid(1, {0});
    constexpr std::uint32_t kKeyAllAccess = 0x000F003F;
    constexpr std::uint32_t kKeyRead = 0x00020019;
    constexpr std::uint8_t kContainerInherit = 0x02;

    std::string aces;
    for (const auto& [mask, sid] :
         {std::pair{kKeyAllAccess, admins}, std::pair{kKeyAllAccess, system},
          std::pair{kKeyRead, everyone}}) {
        std::string ace(8, '\0');
        ace[0] = 0;  // ACCESS_ALLOWED_ACE_TYPE
        ace[1] = static_cast<char>(kContainerInherit);
        Put16(ace, 2, static_cast<std::uint16_t>(8 + sid.size()));
        Put32(ace, 4, mask);
        aces += ace + sid;
    }
    std::string acl(8, '\0');
    acl[0] = 2;  // ACL_REVISION
    Put16(acl, 2, static_cast<std::uint16_t>(8 + aces.size()));
    Put16(acl, 4, 3);
    acl += aces;

    std::string sd(20, '\0');
    sd[0] = 1;  // SECURITY_DESCRIPTOR_REVISION
    constexpr std::uint16_t kSelfRelative = 0x8000, kDaclPresent = 0x0004;
    Put16(sd, 2, kSelfRelative | kDaclPresent);
    const std::uint32_t daclAt = 20;
    const std::uint32_t ownerAt = daclAt + static_cast<std::uint32_t>(acl.size());
    const std::uint32_t groupAt = ownerAt + static_cast<std::uint32_t>(admins.size());
    Put32(sd, 4, ownerAt);
    Put32(sd, 8, groupAt);
    Put32(sd, 12, 0);  // no SACL
    Put32(sd, 16, daclAt);
    return sd + acl + admins + system;
}

std::uint64_t NowAsFileTime() {
    using namespace std::chrono;
    // 100-ns intervals since 1601-01-01; the Unix epoch is 11644473600 s later.
    auto sinceEpoch = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<std::uint64_t>(sinceEpoch / 100) + 116444736000000000ull;
}

}  // namespace

std::uint32_t BaseBlockChecksum(const std::string& bytes) {
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at + 4 <= kChecksumOffset && at + 4 <= bytes.size(); at += 4) {
        sum ^= text::LoadLe32(bytes.data() + at);
    }
    return sum;
}

namespace {

constexpr std::size_t kVkFixedSize = 0x14;
constexpr std::size_t kLhFixedSize = 0x04;

// Windows' upper case of a UTF-16 unit, as far as names need it here: ASCII and
// Latin-1 letters; other characters stay as they are.
char16_t UpcaseUnit(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF) return 0x178;
    if (c == 0xB5) return 0x39C;
    return c;
}

std::u16string Utf16Units(std::string_view utf8) {
    const std::string bytes = text::Utf8ToUtf16Le(utf8);
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return units;
}

// A key or value name as a hive stores it: one byte per character when every
// character is Latin-1 ("compressed"), else UTF-16LE.
struct StoredName {
    std::string bytes;
    bool compressed = true;
    std::size_t utf16Bytes = 0;  // its length in UTF-16, for the "largest name" fields
    std::u16string upper;        // for sorting and hashing
};

StoredName StoreName(std::string_view utf8) {
    StoredName n;
    const std::u16string units = Utf16Units(utf8);
    for (char16_t u : units) n.compressed = n.compressed && u <= 0xFF;
    for (char16_t u : units) {
        if (n.compressed) {
            n.bytes.push_back(static_cast<char>(u));
        } else {
            n.bytes.push_back(static_cast<char>(u & 0xFF));
            n.bytes.push_back(static_cast<char>(u >> 8));
        }
        n.upper.push_back(UpcaseUnit(u));
    }
    n.utf16Bytes = units.size() * 2;
    return n;
}

// The hash of a sub-key's name in an "lh" list.
std::uint32_t NameHash(const std::u16string& upper) {
    std::uint32_t h = 0;
    for (char16_t c : upper) h = h * 37 + c;
    return h;
}

// The hive bins being laid out: cells are handed out in order, a bin is closed
// with a free cell when the next cell does not fit, and a cell larger than a
// standard bin gets a bin of its own size.
class BinWriter {
  public:
    explicit BinWriter(std::uint64_t stamp) : stamp_(stamp) {}

    // A new allocated cell with room for `dataSize` bytes; its offset (from the
    // first bin), where its size field stands.
    std::uint32_t Alloc(std::size_t dataSize) {
        const std::size_t size = Align8(4 + dataSize);
        if (bins_.empty() || used_ + size > binEnd_) {
            CloseBin();
            const std::size_t binSize =
                (size + kBinHeaderSize + kBinSize - 1) / kBinSize * kBinSize;
            const std::size_t start = bins_.size();
            bins_.resize(start + binSize, '\0');
            std::memcpy(&bins_[start], "hbin", 4);
            Put32(bins_, start + 0x04, static_cast<std::uint32_t>(start));
            Put32(bins_, start + 0x08, static_cast<std::uint32_t>(binSize));
            Put64(bins_, start + 0x14, stamp_);
            used_ = start + kBinHeaderSize;
            binEnd_ = start + binSize;
        }
        const std::size_t at = used_;
        Put32(bins_, at, static_cast<std::uint32_t>(-static_cast<std::int32_t>(size)));
        used_ += size;
        return static_cast<std::uint32_t>(at);
    }

    // The byte offset of a cell's data in the bins.
    static std::size_t Data(std::uint32_t cell) { return cell + 4; }
    std::string& bins() { return bins_; }

    // Marks the rest of the last bin free and returns the bins.
    std::string Finish() {
        CloseBin();
        return std::move(bins_);
    }

  private:
    void CloseBin() {
        if (!bins_.empty() && binEnd_ > used_) {
            Put32(bins_, used_, static_cast<std::uint32_t>(binEnd_ - used_));
        }
        used_ = binEnd_;
    }

    std::uint64_t stamp_;
    std::string bins_;
    std::size_t used_ = 0, binEnd_ = 0;
};

struct TreeWriter {
    explicit TreeWriter(BinWriter& bins) : out(bins) {}
    BinWriter& out;
    std::uint32_t sk = 0;
    std::uint64_t stamp = 0;
    std::uint32_t keys = 0;
    std::string error;

    // Writes the key and its tree; the offset of its "nk" cell, or 0 on failure.
    std::uint32_t Key(const HiveTreeKey& key, std::uint32_t parent, bool root) {
        const std::uint32_t nk = NewKey(key.name, parent, root);
        return Fill(key, nk) ? nk : 0;
    }

    // The key's "nk" cell, without values and sub-keys yet.
    std::uint32_t NewKey(const std::string& keyName, std::uint32_t parent, bool root) {
        ++keys;
        const StoredName name = StoreName(keyName);
        const std::uint32_t nk = out.Alloc(kNkFixedSize + name.bytes.size());
        std::string& b = out.bins();
        const std::size_t d = BinWriter::Data(nk);
        std::memcpy(&b[d], "nk", 2);
        std::uint16_t flags = name.compressed ? kKeyCompressedName : 0;
        if (root) flags |= kKeyHiveEntry | kKeyNoDelete;
        Put16(b, d + 0x02, flags);
        Put64(b, d + 0x04, stamp);
        Put32(b, d + 0x10, parent);
        Put32(b, d + 0x1C, kNone);
        Put32(b, d + 0x20, kNone);
        Put32(b, d + 0x28, kNone);
        Put32(b, d + 0x2C, sk);
        Put32(b, d + 0x30, kNone);
        Put16(b, d + 0x48, static_cast<std::uint16_t>(name.bytes.size()));
        std::memcpy(&b[d + kNkFixedSize], name.bytes.data(), name.bytes.size());
        return nk;
    }

    // Writes the key's values and sub-keys and enters them in its "nk" cell.
    bool Fill(const HiveTreeKey& key, std::uint32_t nk) {
        if (!key.values.empty()) {
            const std::uint32_t list = out.Alloc(4 * key.values.size());
            std::uint32_t maxName = 0, maxData = 0;
            for (std::size_t i = 0; i < key.values.size(); ++i) {
                const RawValue& v = key.values[i];
                const StoredName vname = StoreName(v.name);
                const std::uint32_t vk = out.Alloc(kVkFixedSize + vname.bytes.size());
                std::uint32_t dataCell = 0;
                if (v.bytes.size() > 4) {
                    dataCell = out.Alloc(v.bytes.size());
                    std::memcpy(&out.bins()[BinWriter::Data(dataCell)], v.bytes.data(),
                                v.bytes.size());
                }
                std::string& b = out.bins();
                const std::size_t d = BinWriter::Data(vk);
                std::memcpy(&b[d], "vk", 2);
                Put16(b, d + 0x02, static_cast<std::uint16_t>(vname.bytes.size()));
                if (v.bytes.size() <= 4) {
                    // Small data stands in the offset field itself.
                    Put32(b, d + 0x04, static_cast<std::uint32_t>(v.bytes.size()) | 0x80000000u);
                    std::memcpy(&b[d + 0x08], v.bytes.data(), v.bytes.size());
                } else {
                    Put32(b, d + 0x04, static_cast<std::uint32_t>(v.bytes.size()));
                    Put32(b, d + 0x08, dataCell);
                }
                Put32(b, d + 0x0C, v.type);
                Put16(b, d + 0x10, !vname.bytes.empty() && vname.compressed ? 1 : 0);
                std::memcpy(&b[d + kVkFixedSize], vname.bytes.data(), vname.bytes.size());
                Put32(b, BinWriter::Data(list) + 4 * i, vk);
                maxName =
                    std::max<std::uint32_t>(maxName, static_cast<std::uint32_t>(vname.utf16Bytes));
                maxData =
                    std::max<std::uint32_t>(maxData, static_cast<std::uint32_t>(v.bytes.size()));
            }
            std::string& b = out.bins();
            const std::size_t d = BinWriter::Data(nk);
            Put32(b, d + 0x24, static_cast<std::uint32_t>(key.values.size()));
            Put32(b, d + 0x28, list);
            Put32(b, d + 0x3C, maxName);
            Put32(b, d + 0x40, maxData);
        }

        if (!key.children.empty()) {
            if (key.children.size() > 0xFFFF) {
                error = key.name + ": more sub-keys than one list holds";
                return false;
            }
            // Windows finds sub-keys by a binary search of this list: it must be
            // in the order of the upper-cased UTF-16 names.
            struct Entry {
                std::u16string upper;
                std::uint32_t offset;
                std::size_t nameBytes;
            };
            std::vector<Entry> entries;
            for (const HiveTreeKey& child : key.children) {
                std::uint32_t off = Key(child, nk, false);
                if (off == 0) return false;
                StoredName n = StoreName(child.name);
                entries.push_back(Entry{n.upper, off, n.utf16Bytes});
            }
            std::sort(entries.begin(), entries.end(),
                      [](const Entry& a, const Entry& b) { return a.upper < b.upper; });
            const std::uint32_t lh = out.Alloc(kLhFixedSize + 8 * entries.size());
            std::string& b = out.bins();
            std::size_t d = BinWriter::Data(lh);
            std::memcpy(&b[d], "lh", 2);
            Put16(b, d + 0x02, static_cast<std::uint16_t>(entries.size()));
            std::uint32_t maxName = 0;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                Put32(b, d + kLhFixedSize + 8 * i, entries[i].offset);
                Put32(b, d + kLhFixedSize + 8 * i + 4, NameHash(entries[i].upper));
                maxName = std::max<std::uint32_t>(maxName,
                                                  static_cast<std::uint32_t>(entries[i].nameBytes));
            }
            d = BinWriter::Data(nk);
            Put32(b, d + 0x14, static_cast<std::uint32_t>(entries.size()));
            Put32(b, d + 0x1C, lh);
            Put32(b, d + 0x34, maxName);
        }
        return true;
    }
};

}  // namespace

std::u16string WindowsSortKey(std::string_view name) {
    return StoreName(name).upper;
}

HiveTreeKey& HiveTreeKey::Child(std::string_view childName) {
    for (auto& c : children) {
        if (text::EqualsNoCase(c.name, childName)) return c;
    }
    children.push_back(HiveTreeKey{std::string(childName), {}, {}});
    return children.back();
}

void HiveTreeKey::Merge(const HiveTreeKey& other) {
    for (const RawValue& v : other.values) {
        auto it = std::find_if(values.begin(), values.end(), [&](const RawValue& mine) {
            return text::EqualsNoCase(mine.name, v.name);
        });
        if (it != values.end()) {
            it->type = v.type;
            it->bytes = v.bytes;
        } else {
            values.push_back(v);
        }
    }
    for (const HiveTreeKey& c : other.children) Child(c.name).Merge(c);
}

bool HiveBytes(const HiveTreeKey& root, const EmptyHiveOptions& options, std::string& bytes,
               std::string& error) {
    std::uint64_t stamp = options.timestamp != 0 ? options.timestamp : NowAsFileTime();
    BinWriter bins(stamp);
    HiveTreeKey named = root;
    if (named.name.empty()) named.name = options.rootName.empty() ? "ROOT" : options.rootName;

    // The root key comes first, then the one security cell all keys share, then
    // the rest of the tree.
    TreeWriter tree(bins);
    tree.stamp = stamp;
    const std::string sd = RootSecurityDescriptor();
    const std::size_t rootCell = Align8(4 + kNkFixedSize + StoreName(named.name).bytes.size());
    tree.sk = static_cast<std::uint32_t>(kBinHeaderSize + rootCell);
    const std::uint32_t rootNk = tree.NewKey(named.name, 0, true);
    const std::uint32_t skCell = bins.Alloc(kSkFixedSize + sd.size());
    if (skCell != tree.sk) {
        error = "the root key's name is too long";
        return false;
    }
    {
        std::string& b = bins.bins();
        const std::size_t d = BinWriter::Data(skCell);
        std::memcpy(&b[d], "sk", 2);
        Put32(b, d + 0x04, skCell);  // a ring of one
        Put32(b, d + 0x08, skCell);
        Put32(b, d + 0x10, static_cast<std::uint32_t>(sd.size()));
        std::memcpy(&b[d + kSkFixedSize], sd.data(), sd.size());
    }
    if (!tree.Fill(named, rootNk)) {
        error = tree.error;
        return false;
    }
    Put32(bins.bins(), BinWriter::Data(skCell) + 0x0C, tree.keys);
    const std::string hbins = bins.Finish();

    std::string b(kBaseBlockSize, '\0');
    std::memcpy(&b[0], "regf", 4);
    Put32(b, kPrimarySequenceOffset, 1);
    Put32(b, kSecondarySequenceOffset, 1);
    Put32(b, 0x14, 1);  // major version
    Put32(b, kMinorVersionOffset, options.minorVersion);
    Put32(b, 0x1C, 0);  // primary file
    Put32(b, 0x20, 1);  // direct memory load
    Put32(b, 0x24, static_cast<std::uint32_t>(kBinHeaderSize));
    Put32(b, 0x28, static_cast<std::uint32_t>(hbins.size()));
    Put32(b, 0x2C, 1);  // clustering factor
    for (std::size_t i = 0; i < options.fileName.size() && i < 31; ++i) {
        Put16(b, 0x30 + 2 * i, static_cast<unsigned char>(options.fileName[i]));
    }
    // Windows never stores 0 or 0xFFFFFFFF as the checksum (it writes 1 or
    // 0xFFFFFFFE instead), and readers that do not know this reject such
    // blocks: move the time stamp by a tick until the sum is neither.
    for (;;) {
        Put64(b, 0x0C, stamp);
        std::uint32_t sum = BaseBlockChecksum(b);
        if (sum != 0 && sum != 0xFFFFFFFFu) {
            Put32(b, kChecksumOffset, sum);
            break;
        }
        ++stamp;
    }
    bytes = b + hbins;
    return true;
}

std::string EmptyHiveBytes(const EmptyHiveOptions& options) {
    std::string bytes, error;
    HiveBytes(HiveTreeKey{options.rootName, {}, {}}, options, bytes, error);
    return bytes;
}

bool WriteEmptyHive(const std::string& hostPath, const EmptyHiveOptions& options,
                    std::string& error) {
    const std::string bytes = EmptyHiveBytes(options);
    host::WriteStep failed = host::WriteStep::Create;
    const int err = host::WriteNewFile(hostPath, bytes, {0644, false, false}, failed);
    if (err == 0) return true;
    error = hostPath + (failed == host::WriteStep::Create ? ": cannot be created: "
                                                          : ": cannot be written: ") +
            std::strerror(err);
    return false;
}

}  // namespace veldan::machine::hive
