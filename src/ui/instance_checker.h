#pragma once
// One running copy of Veldan at a time. The start-up lock serialises the
// starts of several copies; the instance lock, held by the first copy for as
// long as it runs, marks it as running. Both are lock files (flock) in the
// folder VELDAN_INSTANCE_DIR, else XDG_RUNTIME_DIR, else /tmp; the kernel
// releases them when a process ends, however it ends.

#include <string>

namespace veldan::ui {

class CInstanceChecker {
  public:
    // `name` is the instance name ("VELDAN").
    explicit CInstanceChecker(std::string name);
    ~CInstanceChecker();
    CInstanceChecker(const CInstanceChecker&) = delete;
    CInstanceChecker& operator=(const CInstanceChecker&) = delete;

    // Waits until this process holds the start-up lock. Returns 1, 0 when the
    // lock file cannot be opened (the start goes on unserialised).
    int LockStartup();
    // Releases the start-up lock if held.
    void UnlockStartup();
    // True when another copy (or this one, after TrackThisInstance) runs.
    bool IsPreviousInstanceRunning() const;
    // Marks this process as the running copy for the rest of its life and
    // releases the start-up lock. Returns 1, 0 when another copy runs or the
    // instance lock cannot be taken.
    int TrackThisInstance();

    // The folder holding the lock files.
    static std::string LockFolder();

  private:
    std::string startupPath_;
    std::string instancePath_;
    int startupFd_ = -1;
    int instanceFd_ = -1;
};

}  // namespace veldan::ui
