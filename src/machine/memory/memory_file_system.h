#pragma once
// Drive C: held in memory: a tree of folder and file nodes, walked one path
// component at a time. Names resolve without regard to ASCII case through their
// long or their 8.3 form; a node gets a generated 8.3 name ("PAGE~1.HTM") when
// its long name is not one already. A read-only folder, like a host folder
// without write permission, keeps what is in it: nothing is created, replaced
// or deleted there.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "machine/file_system.h"

namespace veldan::machine::memory {

class MemoryFileSystem final : public FileSystem {
  public:
    // True when a running process holds the file with this long path ("C:\\A\\b.exe").
    using HeldCheck = std::function<bool(std::string_view longPath)>;
    // Schedules a deletion at restart (the machine writes it where the family keeps it).
    using Scheduler = std::function<WinError(std::string_view path)>;

    explicit MemoryFileSystem(HeldCheck held = {}, Scheduler schedule = {});
    ~MemoryFileSystem() override;

    // The FileSystem operations.
    VELDAN_FILE_SYSTEM_OPERATIONS;

    // Creates the folder and every missing folder above it; false when a file
    // stands in the way.
    bool CreateDirectories(std::string_view path);

    // Makes the drive this large, so tests can fill it: file contents take at
    // most `bytes` in all, and a write that would take more fails with
    // ERROR_DISK_FULL. Without it the drive has no limit.
    void SetCapacity(std::uint64_t bytes);

  private:
    struct Node {
        std::string name;       // long name as created
        std::string shortName;  // generated 8.3 name; empty when `name` is one
        bool directory = false;
        bool readOnly = false;
        std::shared_ptr<const std::string> bytes;               // a file's content
        FileTimes times;                                        // as last set; 0 until then
        std::map<std::string, std::unique_ptr<Node>> children;  // by upper-cased long name
    };
    // Where a path leads: the node (null when the last component is missing),
    // its parent folder, and the error of the walk.
    struct Walk {
        Node* node = nullptr;
        Node* parent = nullptr;
        std::string last;                // the last component as given
        std::string drive;               // "C:" as given
        std::vector<const Node*> chain;  // the nodes below the root, in path order
        WinError error = ERROR_SUCCESS;
    };

    Walk Resolve(std::string_view path) const;
    // The content of the file `path` leads to; folders are denied. The caller
    // holds the lock.
    WinError FileContent(std::string_view path, std::shared_ptr<const std::string>& bytes) const;
    static Node* Child(const Node& folder, std::string_view name);
    static std::string MakeShortName(const Node& folder, std::string_view name);
    static std::uint32_t Attributes(const Node& node);
    WinError AddNode(std::string_view path, bool directory, std::string_view bytes);
    // ERROR_SUCCESS, with the file's long path, when the file `w` leads to may be
    // replaced or deleted: not a folder, not read-only, its folder not read-only.
    WinError Changeable(const Walk& w, std::string& longPath) const;
    // The path with every component in its long (or, where it has one, short) form.
    WinError NamedPath(std::string_view path, bool shortForm, std::string& named) const;
    // True when a running process holds the file.
    bool Held(const std::string& longPath) const;
    // Appends to (or, with `truncate`, replaces) the content of a file a writer holds.
    WinError WriteThrough(const std::string& longPath, std::string_view bytes, bool truncate);
    // ERROR_SUCCESS when the drive has room for file `replaced` (null: a new
    // file) to hold `size` bytes. The caller holds the lock.
    WinError Room(const Node* replaced, std::uint64_t size) const;
    // Room for the file at `longPath` to hold `size` bytes; takes the lock.
    WinError RoomFor(const std::string& longPath, std::uint64_t size) const;
    std::uint64_t UsedBytes(const Node& node) const;
    friend class MemoryWriter;

    std::unique_ptr<Node> root_;
    HeldCheck held_;
    Scheduler schedule_;
    std::uint64_t capacity_ = UINT64_MAX;
    mutable std::mutex mutex_;
};

// True when `name` matches the wildcard pattern (* and ?, ASCII case ignored);
// "*.*" matches every name and a trailing ".*" also matches a name without a dot.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace veldan::machine::memory
