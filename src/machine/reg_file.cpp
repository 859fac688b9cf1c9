#include "machine/reg_file.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "machine/registry_paths.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::machine {
namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kEol = "\r\n";
// Column after which regedit breaks a hex list onto a continuation line.
constexpr std::size_t kHexWrapColumn = 77;

// ---- Reading ----

// One change a .reg file asks for. Value changes apply to the key of the last
// key section.
struct Op {
    enum Kind { kKey, kDeleteTree, kSetValue, kDeleteValue };
    Kind kind = kKey;
    HKEY root = 0;
    std::string path;  // kKey, kDeleteTree
    std::string name;  // kSetValue, kDeleteValue
    RegValue value;    // kSetValue
};

// The lines of a text, CR LF, LF or CR terminated, numbered from 1.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool Next(std::string_view& line) {
        if (pos_ > text_.size() || (pos_ == text_.size() && number_ > 0)) return false;
        std::size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        if (end < text_.size() && text_[end] == '\r' && pos_ < text_.size() &&
            text_[pos_] == '\n') {
            ++pos_;
        }
        ++number_;
        return true;
    }
    int number() const { return number_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

// The number of names in a key path ("A\\B" is 2; empty parts do not count).
std::size_t KeyDepth(std::string_view path) {
    std::size_t depth = 0;
    bool inName = false;
    for (char c : path) {
        if (c == '\\') {
            inName = false;
        } else if (!inName) {
            inName = true;
            ++depth;
        }
    }
    return depth;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to `maxDigits` hex digits and nothing else.
bool ParseHexNumber(std::string_view s, std::size_t maxDigits, std::uint32_t& n) {
    if (s.empty() || s.size() > maxDigits) return false;
    std::uint32_t v = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0) return false;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    n = v;
    return true;
}

class Parser {
  public:
    Parser(std::string_view text, std::string_view fileName, RegFileError& error)
        : lines_(text), fileName_(fileName), error_(error) {}

    // Reads the whole text into `ops`; false with the error filled at the first bad line.
    bool Run(std::vector<Op>& ops) {
        if (!ReadHeader()) return false;
        std::string_view line;
        while (lines_.Next(line)) {
            std::string_view t = text::TrimView(line);
            if (t.empty() || t.front() == ';') continue;
            if (t.front() == '[') {
                if (!ReadSection(t, ops)) return false;
            } else if (t.front() == '"' || t.front() == '@') {
                if (!ReadValue(t, ops)) return false;
            } else {
                return Fail("unexpected line (neither a [key] nor a \"name\"=value)");
            }
        }
        return true;
    }

  private:
    bool Fail(std::string message) { return FailAt(lines_.number(), std::move(message)); }
    bool FailAt(int line, std::string message) {
        error_.file = std::string(fileName_);
        error_.line = line;
        error_.message = std::move(message);
        return false;
    }

    bool ReadHeader() {
        std::string_view line;
        while (lines_.Next(line)) {
            std::string_view t = text::TrimView(line);
            if (t.empty()) continue;
            if (t == kHeader4) {
                unicode_ = false;
                return true;
            }
            if (t == kHeader5) {
                unicode_ = true;
                return true;
            }
            break;
        }
        return FailAt(1, "not a registry file: the first line must be \"REGEDIT4\" or \"" +
                             std::string(kHeader5) + "\"");
    }

    bool ReadSection(std::string_view t, std::vector<Op>& ops) {
        // The last ']' closes the section: key names may hold ']' themselves.
        std::size_t close = t.rfind(']');
        if (close == std::string_view::npos) return Fail("missing ']' after the key name");
        if (close + 1 != t.size()) return Fail("unexpected text after ']'");
        std::string_view inner = t.substr(1, close - 1);
        Op op;
        op.kind = Op::kKey;
        if (!inner.empty() && inner.front() == '-') {
            op.kind = Op::kDeleteTree;
            inner.remove_prefix(1);
        }
        if (!SplitKeyPath(inner, op.root, op.path)) {
            std::string_view rootName = inner.substr(0, inner.find('\\'));
            return Fail("unknown root key \"" + std::string(rootName) + "\"");
        }
        if (op.kind == Op::kDeleteTree && text::TrimView(op.path).empty()) {
            return Fail("a root key cannot be deleted");
        }
        if (KeyDepth(op.path) > kMaxKeyDepth) {
            return Fail("key nested deeper than " + std::to_string(kMaxKeyDepth) +
                        " levels (Windows refuses such keys)");
        }
        inSection_ = true;
        inDeletedSection_ = op.kind == Op::kDeleteTree;
        ops.push_back(std::move(op));
        return true;
    }

    // A quoted text at the start of `s` with the escapes \\ and \". A backslash
    // before any other character stays, as hand-written files expect of paths.
    // On success `s` is left after the closing quote.
    static bool ReadQuoted(std::string_view& s, std::string& out) {
        std::string result;
        for (std::size_t i = 1; i < s.size(); ++i) {
            char c = s[i];
            if (c == '"') {
                out = std::move(result);
                s.remove_prefix(i + 1);
                return true;
            }
            if (c == '\\' && i + 1 < s.size()) {
                char next = s[i + 1];
                if (next == '\\' || next == '"') {
                    result.push_back(next);
                    ++i;
                    continue;
                }
            }
            result.push_back(c);
        }
        return false;
    }

    bool ReadValue(std::string_view t, std::vector<Op>& ops) {
        if (!inSection_) return Fail("value before the first [key] section");
        Op op;
        op.kind = Op::kSetValue;
        std::string_view rest = t;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else if (!ReadQuoted(rest, op.name)) {
            return Fail("unterminated value name");
        }
        rest = text::TrimView(rest);
        if (rest.empty() || rest.front() != '=') return Fail("expected '=' after the value name");
        rest = text::TrimView(rest.substr(1));
        if (!ReadData(rest, op)) return false;
        // Values of a deleted key are ignored, as regedit does.
        if (!inDeletedSection_) ops.push_back(std::move(op));
        return true;
    }

    bool ReadData(std::string_view rest, Op& op) {
        if (!rest.empty() && rest.front() == '"') {
            std::string s;
            if (!ReadQuoted(rest, s)) return Fail("unterminated string");
            if (!text::TrimView(rest).empty()) return Fail("unexpected text after the string");
            op.value.type = REG_SZ;
            op.value.data = std::move(s);
            op.value.data.push_back('\0');
            return true;
        }
        if (!rest.empty() && rest.front() == '-') {
            if (!text::TrimView(rest.substr(1)).empty()) {
                return Fail("unexpected text after '-'");
            }
            op.kind = Op::kDeleteValue;
            return true;
        }
        if (text::StartsWithNoCase(rest, "dword:")) {
            std::uint32_t n = 0;
            if (!ParseHexNumber(text::TrimView(rest.substr(6)), 8, n)) {
                return Fail("bad dword: expected 1 to 8 hex digits");
            }
            op.value = RegValue::Dword(n);
            return true;
        }
        if (text::StartsWithNoCase(rest, "hex")) {
            rest.remove_prefix(3);
            std::uint32_t type = REG_BINARY;
            if (!rest.empty() && rest.front() == '(') {
                std::size_t close = rest.find(')');
                if (close == std::string_view::npos ||
                    !ParseHexNumber(rest.substr(1, close - 1), 8, type)) {
                    return Fail("bad value type in hex(...)");
                }
                rest.remove_prefix(close + 1);
            }
            if (rest.empty() || rest.front() != ':') return Fail("expected ':' after hex");
            std::string bytes;
            if (!ReadHexList(rest.substr(1), bytes)) return false;
            op.value = DecodeHexData(type, std::move(bytes));
            return true;
        }
        return Fail("unknown value data (expected \"text\", dword:, hex: or -)");
    }

    // Comma-separated hex bytes, continued on the next line after a trailing '\'.
    bool ReadHexList(std::string_view segment, std::string& bytes) {
        for (;;) {
            segment = text::TrimView(segment);
            bool continued = !segment.empty() && segment.back() == '\\';
            if (continued) segment.remove_suffix(1);
            if (!ReadHexSegment(segment, bytes)) return false;
            if (!continued || !lines_.Next(segment)) return true;
        }
    }

    bool ReadHexSegment(std::string_view segment, std::string& bytes) {
        std::size_t pos = 0;
        while (pos <= segment.size()) {
            std::size_t comma = segment.find(',', pos);
            bool last = comma == std::string_view::npos;
            if (last) comma = segment.size();
            std::string_view token = text::TrimView(segment.substr(pos, comma - pos));
            pos = comma + 1;
            // An empty piece is the end of the line after a trailing comma, or an empty list.
            if (token.empty() && last) break;
            std::uint32_t b = 0;
            if (!ParseHexNumber(token, 2, b)) {
                return Fail("bad hex byte \"" + std::string(token) + "\"");
            }
            bytes.push_back(static_cast<char>(b));
        }
        return true;
    }

    // String-typed data is UTF-16LE in 5.00 files and ANSI (CP949) in REGEDIT4
    // files; the registry holds it as UTF-8.
    // UTF-16 bytes that are not valid text are kept as they are.
    RegValue DecodeHexData(std::uint32_t type, std::string bytes) const {
        if (IsStringType(type) && unicode_) return RegValue::FromUtf16(type, bytes);
        RegValue v;
        v.type = type;
        v.data = IsStringType(type) ? text::Cp949ToUtf8(bytes) : std::move(bytes);
        return v;
    }

    LineReader lines_;
    std::string_view fileName_;
    RegFileError& error_;
    bool unicode_ = true;
    bool inSection_ = false;
    bool inDeletedSection_ = false;
};

void Apply(const std::vector<Op>& ops, Registry& registry) {
    HKEY root = 0;
    std::string_view path;
    // Results are ignored on purpose: the roots are known, the key of a value
    // exists, and a tree that may not be deleted stays (regedit reports and goes on).
    for (const Op& op : ops) {
        switch (op.kind) {
            case Op::kKey:
                root = op.root;
                path = op.path;
                (void)registry.CreateKey(root, path);
                break;
            case Op::kDeleteTree:
                (void)registry.DeleteTree(op.root, op.path);
                break;
            case Op::kSetValue:
                (void)registry.SetValue(root, path, op.name, op.value);
                break;
            case Op::kDeleteValue:
                (void)registry.DeleteValue(root, path, op.name);
                break;
        }
    }
}

// ---- Writing ----

std::string Escape(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// Characters (not bytes) of UTF-8 text, for the line width of hex lists.
std::size_t Columns(std::string_view s) {
    std::size_t n = 0;
    for (char c : s) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    }
    return n;
}

// A REG_SZ that reads back the same from the "text" form: one terminating NUL
// and no other, valid UTF-8, nothing that would break the line.
bool FitsStringForm(const RegValue& v) {
    const std::string& d = v.data;
    return v.type == REG_SZ && v.utf16.empty() && !d.empty() && d.find('\0') == d.size() - 1 &&
           d.find_first_of("\r\n") == std::string::npos && text::IsValidUtf8(d);
}

// A REG_SZ stored without its terminating NUL (as programs that pass the text's
// length write it), shown as text the way regedit shows it.
bool FitsReadableStringForm(const RegValue& v) {
    const std::string& d = v.data;
    return v.type == REG_SZ && v.utf16.empty() && d.find('\0') == std::string::npos &&
           d.find_first_of("\r\n") == std::string::npos && text::IsValidUtf8(d);
}

void AppendHex(std::string& out, std::size_t column, std::uint32_t type, std::string_view bytes) {
    std::string prefix = type == REG_BINARY ? std::string("hex:") : text::Format("hex(%x):", type);
    out += prefix;
    column += prefix.size();
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
        if (i + 1 == bytes.size()) break;
        out.push_back(',');
        column += 3;
        if (column >= kHexWrapColumn) {
            out += "\\\r\n  ";
            column = 2;
        }
    }
}

// One value of a key as the writer takes it.
struct NamedValue {
    std::string name;
    RegValue value;
};

void AppendValue(std::string& out, const NamedValue& v, const RegWriteOptions& options) {
    std::size_t start = out.size();
    if (v.name.empty()) {
        out += '@';
    } else {
        out += '"';
        out += Escape(v.name);
        out += '"';
    }
    out += '=';
    const RegValue& value = v.value;
    if (FitsStringForm(value)) {
        out += '"';
        out += Escape(std::string_view(value.data).substr(0, value.data.size() - 1));
        out += '"';
    } else if (options.readableStrings && FitsReadableStringForm(value)) {
        out += '"';
        out += Escape(value.data);
        out += '"';
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        out += text::Format("dword:%08x", value.AsDword());
    } else {
        std::size_t column = Columns(std::string_view(out).substr(start));
        AppendHex(out, column, value.type,
                  IsStringType(value.type) ? value.StoredUtf16() : value.data);
    }
    out += kEol;
}

// The values of a key in creation order, or sorted by upper-cased name ("@" first).
std::vector<NamedValue> KeyValues(const Registry& registry, HKEY root, const std::string& path,
                                  const RegWriteOptions& options) {
    std::vector<NamedValue> values;
    for (std::uint32_t i = 0;; ++i) {
        NamedValue v;
        if (registry.EnumValue(root, path, i, v.name, &v.value) != ERROR_SUCCESS) break;
        values.push_back(std::move(v));
    }
    if (options.sortValues) {
        std::stable_sort(values.begin(), values.end(),
                         [](const NamedValue& a, const NamedValue& b) {
                             return text::CompareUpper(a.name, b.name) < 0;
                         });
    }
    return values;
}

// The names of a key's sub-keys in enumeration order, all read before any of
// them is walked, so that a backend's enumeration runs from 0 upwards once.
std::vector<std::string> SubKeyNames(const Registry& registry, HKEY root, const std::string& path) {
    std::vector<std::string> names;
    std::string name;
    while (registry.EnumKey(root, path, static_cast<std::uint32_t>(names.size()), name) ==
           ERROR_SUCCESS) {
        names.push_back(name);
    }
    return names;
}

void AppendKeyBlock(std::string& out, const std::vector<NamedValue>& values,
                    const std::string& shown, const RegWriteOptions& options) {
    out += '[';
    out += shown;
    out += ']';
    out += kEol;
    for (const NamedValue& v : values) AppendValue(out, v, options);
    out += kEol;
}

// Writes a key and its tree through the Registry interface.
class TreeWriter {
  public:
    TreeWriter(const Registry& registry, HKEY root, const RegWriteOptions& options,
               std::string& out)
        : registry_(registry), root_(root), options_(options), out_(out) {
        // HKLM\SYSTEM\CurrentControlSet is the link to the selected set when that
        // set exists (as Windows makes it, and as every backend shows it).
        if (root == HKEY_LOCAL_MACHINE) {
            const std::string set = SelectedControlSet(registry);
            linkStands_ = !set.empty() &&
                          registry.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\" + set) == ERROR_SUCCESS;
        }
    }

    // The key at `path` (shown as `shown`; unless it is a root without values)
    // and every key below it, in tree order. Walked with a stack of its own: the
    // depth of a loaded tree is not ours to trust. A link inside the tree is
    // left out: the key it stands for is written under its own name.
    void Write(std::string path, std::string shown, bool isRoot) {
        const std::vector<NamedValue> topValues = KeyValues(registry_, root_, path, options_);
        if (!isRoot || !topValues.empty()) AppendKeyBlock(out_, topValues, shown, options_);
        struct Level {
            std::vector<std::string> children;
            std::size_t next = 0;
            std::size_t pathLength = 0;   // of `path` while this key's children are written
            std::size_t shownLength = 0;  // of `shown` likewise
        };
        std::vector<Level> stack;
        stack.push_back({Children(path), 0, path.size(), shown.size()});
        while (!stack.empty()) {
            Level& level = stack.back();
            if (level.next == level.children.size()) {
                stack.pop_back();
                continue;
            }
            const std::string& name = level.children[level.next++];
            path.resize(level.pathLength);
            if (!path.empty()) path += '\\';
            path += name;
            shown.resize(level.shownLength);
            shown += '\\';
            shown += name;
            AppendKeyBlock(out_, KeyValues(registry_, root_, path, options_), shown, options_);
            stack.push_back({Children(path), 0, path.size(), shown.size()});
        }
    }

  private:
    // The sub-keys of `path` that are keys of their own (links left out).
    std::vector<std::string> Children(const std::string& path) const {
        std::vector<std::string> names = SubKeyNames(registry_, root_, path);
        if (linkStands_ && text::EqualsNoCase(path, "SYSTEM")) {
            std::erase_if(names, [](const std::string& n) {
                return text::EqualsNoCase(n, kCurrentControlSetName);
            });
        }
        return names;
    }

    const Registry& registry_;
    HKEY root_;
    const RegWriteOptions& options_;
    std::string& out_;
    bool linkStands_ = false;
};

}  // namespace

std::string RegFileError::ToString() const {
    if (line > 0) return file + ":" + std::to_string(line) + ": " + message;
    return file + ": " + message;
}

bool ApplyRegFile(std::string_view bytes, std::string_view fileName, Registry& registry,
                  RegFileError& error) {
    std::string text = text::DecodeText(bytes);
    std::vector<Op> ops;
    Parser parser(text, fileName, error);
    if (!parser.Run(ops)) return false;
    Apply(ops, registry);
    return true;
}

std::string WriteRegText(const Registry& registry, const RegWriteOptions& options) {
    std::string out(kHeader5);
    out += kEol;
    out += kEol;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
        if (registry.OpenKey(root, "") != ERROR_SUCCESS) continue;
        TreeWriter(registry, root, options, out).Write("", std::string(RootLongName(root)), true);
    }
    return out;
}

bool WriteRegKeyText(const Registry& registry, HKEY root, std::string_view subKey,
                     const RegWriteOptions& options, std::string& text) {
    if (registry.OpenKey(root, "") != ERROR_SUCCESS) return false;
    // Name the keys as they are stored, whatever case the caller used.
    std::string path;
    std::string shown(RootLongName(root));
    for (const std::string& part : text::Split(subKey, '\\')) {
        if (part.empty()) continue;
        const std::vector<std::string> names = SubKeyNames(registry, root, path);
        auto it = std::find_if(names.begin(), names.end(),
                               [&](const std::string& n) { return text::EqualsNoCase(n, part); });
        if (it == names.end()) return false;
        if (!path.empty()) path += '\\';
        path += *it;
        shown += '\\';
        shown += *it;
    }
    std::string out(kHeader5);
    out += kEol;
    out += kEol;
    TreeWriter(registry, root, options, out).Write(path, shown, path.empty());
    text = std::move(out);
    return true;
}

}  // namespace veldan::machine
