#include "quarantine/state.h"

#include <ctime>

#include <memory>
#include <vector>

#include "machine/registry_paths.h"
#include "quarantine/sha256.h"
#include "text/strings.h"

namespace veldan::quarantine {
using namespace machine;

namespace {

// The non-empty components of a key path.
std::vector<std::string_view> SplitKey(std::string_view path) {
    std::vector<std::string_view> parts;
    AppendKeyParts(path, parts);
    return parts;
}

std::string Join(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    return std::string(a) + "\\" + std::string(b);
}

Json ValueJson(const std::string& name, const RegValue& v) {
    Json j = {{"name", name}, {"type", v.type}, {"data", ToHex(v.data)}};
    if (!v.utf16.empty()) j["utf16"] = ToHex(v.utf16);
    return j;
}

bool ValueFromJson(const Json& j, std::string& name, RegValue& v) {
    if (!j.is_object() || !j.contains("name") || !j.contains("type") || !j.contains("data"))
        return false;
    if (!j["name"].is_string() || !j["type"].is_number_unsigned() || !j["data"].is_string())
        return false;
    name = j["name"].get<std::string>();
    v.type = j["type"].get<std::uint32_t>();
    if (!FromHex(j["data"].get<std::string>(), v.data)) return false;
    if (j.contains("utf16") &&
        (!j["utf16"].is_string() || !FromHex(j["utf16"].get<std::string>(), v.utf16)))
        return false;
    return true;
}

Json ValuesOf(const Registry& reg, HKEY root, std::string_view subKey) {
    Json values = Json::array();
    for (std::uint32_t i = 0;; ++i) {
        std::string name;
        RegValue v;
        if (reg.EnumValue(root, subKey, i, name, &v) != ERROR_SUCCESS) break;
        values.push_back(ValueJson(name, v));
    }
    return values;
}

Json TreeOf(const Registry& reg, HKEY root, const std::string& subKey, const std::string& name,
            std::size_t depth) {
    KeySecurity security;
    const bool denied =
        reg.GetKeySecurity(root, subKey, security) == ERROR_SUCCESS && security.denyDelete;
    Json keys = Json::array();
    if (depth < kMaxKeyDepth) {
        for (std::uint32_t i = 0;; ++i) {
            std::string child;
            if (reg.EnumKey(root, subKey, i, child) != ERROR_SUCCESS) break;
            keys.push_back(TreeOf(reg, root, Join(subKey, child), child, depth + 1));
        }
    }
    return {{"name", name},
            {"denyDelete", denied},
            {"values", ValuesOf(reg, root, subKey)},
            {"keys", keys}};
}

}  // namespace

std::string UtcNow(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char stamp[64] = {};
    std::strftime(stamp, sizeof stamp, format, &utc);
    return stamp;
}

std::string ToHex(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

bool FromHex(std::string_view hex, std::string& bytes) {
    if (hex.size() % 2 != 0) return false;
    auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    bytes = std::move(out);
    return true;
}

std::string Sha256Hex(std::string_view bytes) {
    Sha256 digest;
    digest.Add(bytes.data(), bytes.size());
    return digest.Hex();
}

std::string StoredKeyPath(const Registry& reg, HKEY root, std::string_view subKey) {
    std::string path;
    for (std::string_view part : SplitKey(subKey)) {
        std::string stored(part);
        for (std::uint32_t i = 0;; ++i) {
            std::string name;
            if (reg.EnumKey(root, path, i, name) != ERROR_SUCCESS) break;
            if (text::EqualsNoCase(name, part)) {
                stored = name;
                break;
            }
        }
        path = Join(path, stored);
    }
    return path;
}

std::string FirstMissingKey(const Registry& reg, HKEY root, std::string_view subKey) {
    std::string path;
    for (std::string_view part : SplitKey(subKey)) {
        path = Join(path, part);
        if (reg.OpenKey(root, path) != ERROR_SUCCESS) return path;
    }
    return {};
}

Json CaptureTree(const Registry& reg, HKEY root, std::string_view subKey) {
    if (reg.OpenKey(root, subKey) != ERROR_SUCCESS) return nullptr;
    const std::string stored = StoredKeyPath(reg, root, subKey);
    const std::size_t slash = stored.rfind('\\');
    const std::string name = slash == std::string::npos ? stored : stored.substr(slash + 1);
    return TreeOf(reg, root, stored, name, 0);
}

WinError WriteTree(Registry& reg, HKEY root, std::string_view subKey, const Json& tree) {
    if (!tree.is_object() || !tree.contains("values") || !tree.contains("keys"))
        return ERROR_INVALID_DATA;
    if (WinError e = reg.CreateKey(root, subKey)) return e;
    if (WinError e = WriteValues(reg, root, subKey, tree["values"])) return e;
    for (const Json& child : tree["keys"]) {
        if (!child.is_object() || !child.contains("name") || !child["name"].is_string())
            return ERROR_INVALID_DATA;
        if (WinError e =
                WriteTree(reg, root, Join(subKey, child["name"].get<std::string>()), child))
            return e;
    }
    if (tree.value("denyDelete", false)) {
        KeySecurity security;
        security.denyDelete = true;
        if (WinError e = reg.SetKeySecurity(root, subKey, security)) return e;
    }
    return ERROR_SUCCESS;
}

Json CaptureValues(const Registry& reg, HKEY root, std::string_view subKey) {
    if (reg.OpenKey(root, subKey) != ERROR_SUCCESS) return nullptr;
    return ValuesOf(reg, root, subKey);
}

WinError WriteValues(Registry& reg, HKEY root, std::string_view subKey, const Json& values) {
    if (!values.is_array()) return ERROR_INVALID_DATA;
    std::vector<std::pair<std::string, RegValue>> wanted;
    for (const Json& j : values) {
        std::string name;
        RegValue v;
        if (!ValueFromJson(j, name, v)) return ERROR_INVALID_DATA;
        wanted.emplace_back(std::move(name), std::move(v));
    }
    // Values keep the order they were created in: clear the key, then create
    // them again in the order they had.
    for (;;) {
        std::string name;
        if (reg.EnumValue(root, subKey, 0, name, nullptr) != ERROR_SUCCESS) break;
        if (WinError e = reg.DeleteValue(root, subKey, name)) return e;
    }
    for (const auto& [name, v] : wanted) {
        if (WinError e = reg.SetValue(root, subKey, name, v)) return e;
    }
    return ERROR_SUCCESS;
}

Json CaptureSecurity(const Registry& reg, HKEY root, std::string_view subKey) {
    KeySecurity security;
    if (reg.GetKeySecurity(root, subKey, security) != ERROR_SUCCESS) return nullptr;
    return security.denyDelete;
}

Json CaptureFile(const FileSystem& fs, std::string_view path, bool digest) {
    std::uint32_t attributes = 0;
    if (fs.GetAttributes(path, attributes) != ERROR_SUCCESS) return {{"exists", false}};
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    std::string longPath(path), shortPath;
    (void)fs.GetLongPathName(path, longPath);
    if (fs.GetShortPathName(path, shortPath) != ERROR_SUCCESS) shortPath.clear();
    FileTimes times;
    (void)fs.GetFileTime(path, times);
    Json j = {
        {"exists", true},           {"folder", folder},
        {"path", longPath},         {"short", shortPath},
        {"attributes", attributes}, {"times", {times.creation, times.lastAccess, times.lastWrite}}};
    if (folder) return j;
    std::uint64_t size = 0;
    (void)fs.GetFileSize(path, size);
    j["size"] = size;
    if (!digest) return j;
    std::unique_ptr<FileReader> reader;
    if (fs.OpenRead(path, reader) != ERROR_SUCCESS) return j;
    Sha256 md;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const long long n = reader->Read(buffer.data(), buffer.size());
        if (n < 0) return j;
        if (n == 0) break;
        md.Add(buffer.data(), static_cast<std::size_t>(n));
    }
    const std::string hex = md.Hex();
    if (hex.empty()) return j;
    j["sha256"] = hex;
    return j;
}

bool SameFile(const Json& a, const Json& b) {
    const bool ea = a.value("exists", false), eb = b.value("exists", false);
    if (ea != eb) return false;
    if (!ea) return true;
    if (a.value("folder", false) != b.value("folder", false)) return false;
    if (a.value("folder", false)) return true;
    return a.value("sha256", std::string()) == b.value("sha256", std::string());
}

}  // namespace veldan::quarantine
