#pragma once
// The context of one run of the system: the machine being scanned and
// everything the system keeps program-wide about it. Operations take it as
// their first parameter; two contexts share nothing.

#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/folder_table.h"
#include "platform/found_items.h"
#include "platform/signature_db.h"
#include "text/debug.h"

namespace veldan::platform {

// A shell link of the per-scan cache.
struct LinkCacheRecord {
    std::string path;
    std::string target;
    std::string arguments;
    std::string iconPath;
};

// An internet shortcut of the per-scan cache.
struct UrlCacheRecord {
    std::string path;
    std::string url;
    std::string iconPath;
};

class Context {
  public:
    Context(machine::Machine& machine, text::DebugSink& debug)
        : machine_(machine), debug_(debug), report_(debug) {}
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    machine::Machine& machine() { return machine_; }
    machine::Registry& registry() { return machine_.registry(); }
    machine::FileSystem& files() { return machine_.files(); }
    machine::Clock& clock() { return machine_.clock(); }
    text::DebugSink& debug() { return debug_; }
    // Writes a diagnostic line (the text as given) on the debug channel.
    void Debug(std::string_view text) { debug_.Write(text); }

    ScanReport& report() { return report_; }
    FolderTable& folders() { return folders_; }
    const FolderTable& folders() const { return folders_; }
    // The database state. It is read by the engine and the front ends only;
    // a load replaces it as a whole.
    CSignatureDb& db() { return db_; }

    std::vector<LinkCacheRecord>& linkCache() { return linkCache_; }
    std::vector<UrlCacheRecord>& urlCache() { return urlCache_; }
    std::vector<std::string>& muiCache() { return muiCache_; }

    // The folder holding the program (core/ and data/ are below it).
    const std::string& programFolder() const { return programFolder_; }
    void setProgramFolder(std::string folder) { programFolder_ = std::move(folder); }

  private:
    machine::Machine& machine_;
    text::DebugSink& debug_;
    ScanReport report_;
    FolderTable folders_;
    CSignatureDb db_;
    std::vector<LinkCacheRecord> linkCache_;
    std::vector<UrlCacheRecord> urlCache_;
    std::vector<std::string> muiCache_;
    std::string programFolder_;
};

}  // namespace veldan::platform
