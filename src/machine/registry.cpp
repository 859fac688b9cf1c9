#include "machine/registry.h"

#include "text/codepage.h"
#include "text/little_endian.h"

namespace veldan::machine {

RegValue RegValue::String(std::string_view text, std::uint32_t type) {
    RegValue v;
    v.type = type;
    v.data.reserve(text.size() + 1);
    v.data.append(text);
    v.data.push_back('\0');
    return v;
}

RegValue RegValue::Dword(std::uint32_t n) {
    RegValue v;
    v.type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8) {
        v.data.push_back(static_cast<char>((n >> shift) & 0xFF));
    }
    return v;
}

RegValue RegValue::MultiString(const std::vector<std::string>& items) {
    RegValue v;
    v.type = REG_MULTI_SZ;
    for (const std::string& item : items) {
        v.data.append(item);
        v.data.push_back('\0');
    }
    v.data.push_back('\0');
    return v;
}

std::string RegValue::AsString() const {
    std::size_t end = data.find('\0');
    return end == std::string::npos ? data : data.substr(0, end);
}

std::vector<std::string> RegValue::AsMultiString() const {
    std::vector<std::string> items;
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::size_t end = data.find('\0', pos);
        if (end == std::string::npos) end = data.size();  // last string without its NUL
        if (end == pos) break;                            // the empty string ends the list
        items.emplace_back(data, pos, end - pos);
        pos = end + 1;
    }
    return items;
}

std::uint32_t RegValue::AsDword() const {
    return data.size() < 4 ? 0 : text::LoadLe32(data.data());
}

RegValue RegValue::FromUtf16(std::uint32_t type, std::string_view bytes) {
    RegValue v;
    v.type = type;
    v.data = text::Utf16LeToUtf8(bytes);
    if (text::Utf8ToUtf16Le(v.data) != bytes) v.utf16 = std::string(bytes);
    return v;
}

std::string RegValue::StoredUtf16() const {
    if (!utf16.empty() && text::Utf16LeToUtf8(utf16) == data) return utf16;
    return text::Utf8ToUtf16Le(data);
}

bool IsStringType(std::uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace veldan::machine
