#include "machine/memory/memory_file_system.h"

#include <cstring>

#include "text/strings.h"

namespace veldan::machine::memory {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Characters a short name may not hold.
bool IsShortNameChar(char c) {
    return static_cast<unsigned char>(c) > ' ' && std::strchr("\"*+,./:;<=>?[\\]|", c) == nullptr;
}

// True when `name` is an 8.3 name already: 1 to 8 characters, then optionally
// a dot and 1 to 3 characters, none of them a space or a forbidden one.
bool IsEightThree(std::string_view name) {
    const std::size_t dot = name.find('.');
    std::string_view base = name.substr(0, dot);
    std::string_view ext =
        dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
    if (dot != std::string_view::npos && ext.empty()) return false;
    for (std::string_view part : {base, ext}) {
        for (char c : part) {
            if (!IsShortNameChar(c)) return false;
        }
    }
    return true;
}

// The upper-cased short-name characters of `s`, at most `n` of them.
std::string ShortPart(std::string_view s, std::size_t n) {
    std::string out;
    for (char c : s) {
        if (out.size() == n) break;
        if (c == ' ' || c == '.') continue;
        out.push_back(IsShortNameChar(c) ? c : '_');
    }
    return text::UpperAscii(out);
}

bool Glob(std::string_view p, std::string_view s) {
    std::size_t pi = 0, si = 0, star = std::string_view::npos, mark = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == s[si])) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = si;
        } else if (star != std::string_view::npos) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

class MemoryReader final : public FileReader {
  public:
    explicit MemoryReader(std::shared_ptr<const std::string> bytes) : bytes_(std::move(bytes)) {}
    long long Read(void* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, bytes_->size() - pos_);
        std::memcpy(buffer, bytes_->data() + pos_, n);
        pos_ += n;
        return static_cast<long long>(n);
    }

  private:
    std::shared_ptr<const std::string> bytes_;
    std::size_t pos_ = 0;
};

}  // namespace

// What is written reaches the file at Flush and when the writer closes; the
// content is replaced, never changed in place, so open readers keep what they had.
class MemoryWriter final : public FileWriter {
  public:
    MemoryWriter(MemoryFileSystem& fs, std::string longPath, std::string content)
        : fs_(fs), path_(std::move(longPath)), content_(std::move(content)) {}
    ~MemoryWriter() override { (void)Flush(); }
    WinError Write(const void* data, std::size_t size) override {
        if (WinError e = fs_.RoomFor(path_, content_.size() + size)) return e;
        content_.append(static_cast<const char*>(data), size);
        return ERROR_SUCCESS;
    }
    WinError Flush() override { return fs_.WriteThrough(path_, content_, true); }

  private:
    MemoryFileSystem& fs_;
    std::string path_;
    std::string content_;
};

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    const std::string p = text::UpperAscii(pattern == "*.*" ? std::string_view("*") : pattern);
    const std::string n = text::UpperAscii(name);
    if (Glob(p, n)) return true;
    return p.size() >= 2 && p.ends_with(".*") && n.find('.') == std::string::npos &&
           Glob(std::string_view(p).substr(0, p.size() - 2), n);
}

MemoryFileSystem::MemoryFileSystem(HeldCheck held, Scheduler schedule)
    : root_(std::make_unique<Node>()), held_(std::move(held)), schedule_(std::move(schedule)) {
    root_->directory = true;
}

MemoryFileSystem::~MemoryFileSystem() = default;

MemoryFileSystem::Node* MemoryFileSystem::Child(const Node& folder, std::string_view name) {
    const std::string upper = text::UpperAscii(name);
    auto it = folder.children.find(upper);
    if (it != folder.children.end()) return it->second.get();
    for (const auto& [key, child] : folder.children) {
        if (!child->shortName.empty() && child->shortName == upper) return child.get();
    }
    return nullptr;
}

std::string MemoryFileSystem::MakeShortName(const Node& folder, std::string_view name) {
    if (IsEightThree(name)) return {};
    const std::size_t dot = name.rfind('.');
    const std::string base = ShortPart(name.substr(0, dot), 6);
    const std::string ext =
        dot == std::string_view::npos ? std::string() : ShortPart(name.substr(dot + 1), 3);
    for (int n = 1;; ++n) {
        std::string candidate = (base.empty() ? std::string("_") : base) + "~" + std::to_string(n) +
                                (ext.empty() ? "" : "." + ext);
        if (Child(folder, candidate) == nullptr) return candidate;
    }
}

std::uint32_t MemoryFileSystem::Attributes(const Node& node) {
    std::uint32_t a = node.directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    return node.readOnly ? a | FILE_ATTRIBUTE_READONLY : a;
}

MemoryFileSystem::Walk MemoryFileSystem::Resolve(std::string_view path) const {
    Walk w;
    if (path.size() < 2 || path[1] != ':' || (path[0] != 'C' && path[0] != 'c') ||
        (path.size() > 2 && !IsSeparator(path[2]))) {
        w.error = ERROR_PATH_NOT_FOUND;
        return w;
    }
    w.drive = std::string(path.substr(0, 2));
    std::vector<std::string_view> parts;
    std::size_t pos = 2;
    while (pos < path.size()) {
        std::size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        if (end > pos) parts.push_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    const bool folderOnly = path.size() > 3 && IsSeparator(path.back());
    Node* node = root_.get();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!node->directory) {
            w.error = ERROR_PATH_NOT_FOUND;
            return w;
        }
        Node* next = Child(*node, parts[i]);
        if (next == nullptr) {
            const bool last = i + 1 == parts.size();
            w.error = last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
            if (last) {
                w.parent = node;
                w.last = std::string(parts[i]);
            }
            return w;
        }
        w.parent = node;
        w.chain.push_back(next);
        node = next;
    }
    if (folderOnly && !node->directory) {
        w.error = ERROR_PATH_NOT_FOUND;
        return w;
    }
    w.node = node;
    return w;
}

WinError MemoryFileSystem::GetAttributes(std::string_view path, std::uint32_t& attributes) const {
    std::lock_guard<std::mutex> guard(mutex_);
    Walk w = Resolve(path);
    if (w.node == nullptr) return w.error;
    attributes = Attributes(*w.node);
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::FileContent(std::string_view path,
                                       std::shared_ptr<const std::string>& bytes) const {
    Walk w = Resolve(path);
    if (w.node == nullptr) return w.error;
    if (w.node->directory) return ERROR_ACCESS_DENIED;
    bytes = w.node->bytes;
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::SetAttributes(std::string_view path, std::uint32_t attributes) {
    std::lock_guard<std::mutex> guard(mutex_);
    Walk w = Resolve(path);
    if (w.node == nullptr) return w.error;
    if (w.node == root_.get()) return ERROR_ACCESS_DENIED;
    w.node->readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::GetFileSize(std::string_view path, std::uint64_t& size) const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::shared_ptr<const std::string> content;
    if (WinError err = FileContent(path, content); err != ERROR_SUCCESS) return err;
    size = content->size();
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::FindFiles(std::string_view pattern,
                                     std::vector<FindData>& entries) const {
    std::size_t cut = pattern.size();
    while (cut > 0 && !IsSeparator(pattern[cut - 1])) --cut;
    const std::string_view name = pattern.substr(cut);
    std::lock_guard<std::mutex> guard(mutex_);
    Walk w = Resolve(pattern.substr(0, cut));
    if (w.node == nullptr || !w.node->directory) return ERROR_PATH_NOT_FOUND;
    std::vector<FindData> found;
    if (w.node != root_.get()) {
        for (const char* dot : {".", ".."}) {
            if (MatchesWildcard(name, dot)) found.push_back({dot, "", FILE_ATTRIBUTE_DIRECTORY, 0});
        }
    }
    for (const auto& [key, child] : w.node->children) {
        if (!MatchesWildcard(name, child->name) &&
            (child->shortName.empty() || !MatchesWildcard(name, child->shortName))) {
            continue;
        }
        found.push_back({child->name, child->shortName, Attributes(*child),
                         child->directory ? 0 : child->bytes->size()});
    }
    if (found.empty()) return ERROR_FILE_NOT_FOUND;
    entries = std::move(found);
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::NamedPath(std::string_view path, bool shortForm,
                                     std::string& named) const {
    std::lock_guard<std::mutex> guard(mutex_);
    Walk w = Resolve(path);
    if (w.node == nullptr) return w.error;
    std::string out = w.drive;
    for (const Node* n : w.chain) {
        out += '\\';
        out += shortForm && !n->shortName.empty() ? n->shortName : n->name;
    }
    if (w.chain.empty() || IsSeparator(path.back())) out += '\\';
    named = std::move(out);
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::GetLongPathName(std::string_view path, std::string& longPath) const {
    return NamedPath(path, false, longPath);
}

WinError MemoryFileSystem::GetShortPathName(std::string_view path, std::string& shortPath) const {
    return NamedPath(path, true, shortPath);
}

WinError MemoryFileSystem::Changeable(const Walk& w, std::string& longPath) const {
    if (w.node == nullptr) return w.error;
    if (w.node->directory || w.node->readOnly || w.parent->readOnly) return ERROR_ACCESS_DENIED;
    longPath = "C:";
    for (const Node* n : w.chain) longPath += "\\" + n->name;
    return ERROR_SUCCESS;
}

bool MemoryFileSystem::Held(const std::string& longPath) const {
    // Asked without the lock: the processes never call back into the files.
    return held_ && held_(longPath);
}

WinError MemoryFileSystem::DeleteFile(std::string_view path) {
    std::string longPath;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (WinError e = Changeable(Resolve(path), longPath)) return e;
    }
    if (Held(longPath)) return ERROR_SHARING_VIOLATION;
    std::lock_guard<std::mutex> guard(mutex_);
    Walk w = Resolve(path);
    if (w.node == nullptr) return w.error;
    w.parent->children.erase(text::UpperAscii(w.node->name));
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::RemoveDirectory(std::string_view path) {
    std::lock_guard<std::mutex> guard(mutex_);
    Walk w = Resolve(path);
    if (w.node == nullptr) return w.error;
    if (w.node == root_.get()) return ERROR_ACCESS_DENIED;
    if (!w.node->directory) return ERROR_DIRECTORY;
    if (!w.node->children.empty()) return ERROR_DIR_NOT_EMPTY;
    if (w.node->readOnly || w.parent->readOnly) return ERROR_ACCESS_DENIED;
    w.parent->children.erase(text::UpperAscii(w.node->name));
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::AddNode(std::string_view path, bool directory, std::string_view bytes) {
    Walk w = Resolve(path);
    if (w.node != nullptr)
        return w.node == root_.get() ? ERROR_ACCESS_DENIED : ERROR_ALREADY_EXISTS;
    if (w.parent == nullptr) return w.error;
    if (w.parent->readOnly) return ERROR_ACCESS_DENIED;
    auto node = std::make_unique<Node>();
    node->name = w.last;
    node->shortName = MakeShortName(*w.parent, w.last);
    node->directory = directory;
    if (!directory) {
        if (WinError e = Room(nullptr, bytes.size())) return e;
    }
    if (!directory) node->bytes = std::make_shared<const std::string>(bytes);
    w.parent->children.emplace(text::UpperAscii(w.last), std::move(node));
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::CreateDirectory(std::string_view path) {
    std::lock_guard<std::mutex> guard(mutex_);
    return AddNode(path, true, {});
}

bool MemoryFileSystem::CreateDirectories(std::string_view path) {
    for (std::size_t pos = 3; pos <= path.size(); ++pos) {
        if (pos < path.size() && !IsSeparator(path[pos])) continue;
        const WinError e = CreateDirectory(path.substr(0, pos));
        std::uint32_t a = 0;
        if (e != ERROR_SUCCESS && (GetAttributes(path.substr(0, pos), a) != ERROR_SUCCESS ||
                                   (a & FILE_ATTRIBUTE_DIRECTORY) == 0)) {
            return false;
        }
    }
    return true;
}

WinError MemoryFileSystem::OpenRead(std::string_view path,
                                    std::unique_ptr<FileReader>& reader) const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::shared_ptr<const std::string> content;
    if (WinError err = FileContent(path, content); err != ERROR_SUCCESS) return err;
    reader = std::make_unique<MemoryReader>(std::move(content));
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::ReadFile(std::string_view path, std::string& bytes) const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::shared_ptr<const std::string> content;
    if (WinError err = FileContent(path, content); err != ERROR_SUCCESS) return err;
    bytes = *content;
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::WriteFile(std::string_view path, std::string_view bytes) {
    std::string longPath;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        Walk w = Resolve(path);
        if (w.node == nullptr && w.error == ERROR_FILE_NOT_FOUND)
            return AddNode(path, false, bytes);
        if (WinError e = Changeable(w, longPath)) return e;
    }
    if (Held(longPath)) return ERROR_SHARING_VIOLATION;
    std::lock_guard<std::mutex> guard(mutex_);
    Walk w = Resolve(path);
    if (w.node == nullptr) return w.error;
    if (WinError e = Room(w.node, bytes.size())) return e;
    // Readers that are open keep the old content: it is shared, never changed.
    w.node->bytes = std::make_shared<const std::string>(bytes);
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::WriteThrough(const std::string& longPath, std::string_view bytes,
                                        bool truncate) {
    std::lock_guard<std::mutex> guard(mutex_);
    Walk w = Resolve(longPath);
    if (w.node == nullptr) return w.error;
    if (w.node->directory) return ERROR_ACCESS_DENIED;
    std::string content = truncate ? std::string() : *w.node->bytes;
    content.append(bytes);
    if (WinError e = Room(w.node, content.size())) return e;
    w.node->bytes = std::make_shared<const std::string>(std::move(content));
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::OpenWrite(std::string_view path, WriteMode mode,
                                     std::unique_ptr<FileWriter>& writer) {
    std::string longPath;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        Walk w = Resolve(path);
        if (w.node == nullptr && w.error == ERROR_FILE_NOT_FOUND) {
            if (WinError e = AddNode(path, false, {})) return e;
            w = Resolve(path);
        }
        if (WinError e = Changeable(w, longPath)) return e;
    }
    if (Held(longPath)) return ERROR_SHARING_VIOLATION;
    std::string content;
    if (mode == WriteMode::Append) {
        if (WinError e = ReadFile(longPath, content)) return e;
    } else if (WinError e = WriteThrough(longPath, {}, true)) {
        return e;
    }
    writer = std::make_unique<MemoryWriter>(*this, longPath, std::move(content));
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::MoveFile(std::string_view from, std::string_view to, bool replace) {
    std::string longPath;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        Walk w = Resolve(from);
        if (w.node == nullptr) return w.error;
        if (w.node == root_.get()) return ERROR_ACCESS_DENIED;
        longPath = "C:";
        for (const Node* n : w.chain) longPath += "\\" + n->name;
    }
    if (Held(longPath)) return ERROR_SHARING_VIOLATION;
    std::lock_guard<std::mutex> guard(mutex_);
    Walk source = Resolve(from);
    if (source.node == nullptr) return source.error;
    Walk target = Resolve(to);
    if (target.node == source.node) return ERROR_SUCCESS;
    if (target.node != nullptr) {
        if (!replace) return ERROR_ALREADY_EXISTS;
        if (target.node->directory || source.node->directory || target.node->readOnly)
            return ERROR_ACCESS_DENIED;
    } else if (target.parent == nullptr) {
        return target.error;
    }
    if (source.parent->readOnly || target.parent->readOnly) return ERROR_ACCESS_DENIED;
    // A folder cannot move into itself.
    if (target.parent == source.node) return ERROR_ACCESS_DENIED;
    for (const Node* n : target.chain) {
        if (n == source.node) return ERROR_ACCESS_DENIED;
    }
    const std::string name = target.node != nullptr ? target.node->name : target.last;
    Node* parent = target.parent;
    auto it = source.parent->children.find(text::UpperAscii(source.node->name));
    std::unique_ptr<Node> node = std::move(it->second);
    source.parent->children.erase(it);
    parent->children.erase(text::UpperAscii(name));
    node->name = name;
    node->shortName = MakeShortName(*parent, name);
    parent->children.emplace(text::UpperAscii(name), std::move(node));
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::GetFileTime(std::string_view path, FileTimes& times) const {
    std::lock_guard<std::mutex> guard(mutex_);
    Walk w = Resolve(path);
    if (w.node == nullptr) return w.error;
    times = w.node->times;
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::SetFileTime(std::string_view path, const FileTimes& times) {
    std::lock_guard<std::mutex> guard(mutex_);
    Walk w = Resolve(path);
    if (w.node == nullptr) return w.error;
    if (times.creation != 0) w.node->times.creation = times.creation;
    if (times.lastAccess != 0) w.node->times.lastAccess = times.lastAccess;
    if (times.lastWrite != 0) w.node->times.lastWrite = times.lastWrite;
    return ERROR_SUCCESS;
}

WinError MemoryFileSystem::DeleteAtRestart(std::string_view path) {
    return schedule_ ? schedule_(path) : ERROR_CALL_NOT_IMPLEMENTED;
}

void MemoryFileSystem::SetCapacity(std::uint64_t bytes) {
    std::lock_guard<std::mutex> guard(mutex_);
    capacity_ = bytes;
}

std::uint64_t MemoryFileSystem::UsedBytes(const Node& node) const {
    std::uint64_t used = node.bytes ? node.bytes->size() : 0;
    for (const auto& [key, child] : node.children) used += UsedBytes(*child);
    return used;
}

WinError MemoryFileSystem::Room(const Node* replaced, std::uint64_t size) const {
    if (capacity_ == UINT64_MAX) return ERROR_SUCCESS;
    const std::uint64_t old = replaced != nullptr && replaced->bytes ? replaced->bytes->size() : 0;
    const std::uint64_t others = UsedBytes(*root_) - old;
    return others <= capacity_ && size <= capacity_ - others ? ERROR_SUCCESS : ERROR_DISK_FULL;
}

WinError MemoryFileSystem::RoomFor(const std::string& longPath, std::uint64_t size) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return Room(Resolve(longPath).node, size);
}

WinError MemoryFileSystem::GetDiskFreeSpaceEx(std::string_view path,
                                              std::uint64_t& freeBytes) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const Walk w = Resolve(path);
    if (w.node == nullptr) return ERROR_PATH_NOT_FOUND;
    if (!w.node->directory) return ERROR_DIRECTORY;
    const std::uint64_t used = UsedBytes(*root_);
    freeBytes = used < capacity_ ? capacity_ - used : 0;
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine::memory
