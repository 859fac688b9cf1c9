#include "machine/image/image_machine.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "host/file_read.h"
#include "host/folder_entries.h"
#include "machine/image/image_save.h"
#include "machine/reg_file.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::machine::image {
namespace fs = std::filesystem;

namespace {

// A line to blame makes a bad line; without one the file itself is wrong.
MachineErrorKind LineKind(int line) {
    return line > 0 ? MachineErrorKind::BadLine : MachineErrorKind::Other;
}

MachineError SaveError(const SaveFailure& failure) {
    return MachineError{
        failure.readOnly ? MachineErrorKind::ReadOnly : MachineErrorKind::NotWritten, failure.path,
        0, failure.message};
}

}  // namespace

ImageMachine::ImageMachine(const std::string& folder, std::unique_ptr<Clock> clock)
    : FolderMachine(folder, (fs::path(folder) / "drive_c").string(), std::move(clock)) {}

ImageMachine::~ImageMachine() = default;

std::unique_ptr<ImageMachine> ImageMachine::Load(const std::string& folder, MachineError& error,
                                                 std::unique_ptr<Clock> clock) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        const bool exists = fs::exists(folder, ec);
        error = MachineError{
            exists ? MachineErrorKind::NotAMachine : MachineErrorKind::FolderMissing, folder, 0,
            exists ? "not a folder: a machine is a folder (a machine image or the "
                     "root of a Windows installation)"
                   : "no machine image here (folder not found)"};
        return nullptr;
    }
    fs::path root(folder);
    if (!fs::is_directory(root / "drive_c", ec)) {
        error = MachineError{MachineErrorKind::NotAMachine, (root / "drive_c").string(), 0,
                             "the image has no drive_c folder"};
        return nullptr;
    }

    // A save cut short is completed (or, before its commit point, undone) first.
    SaveFailure unfinished;
    if (!FinishImageSave(folder, unfinished)) {
        error = MachineError{MachineErrorKind::InterruptedSave, unfinished.path, 0,
                             "an interrupted save cannot be completed: " + unfinished.message};
        return nullptr;
    }

    std::unique_ptr<ImageMachine> m(new ImageMachine(folder, std::move(clock)));

    fs::path iniPath = root / "machine.ini";
    if (fs::exists(iniPath, ec)) {
        std::string bytes;
        if (!host::ReadWholeFile(iniPath.string(), bytes)) {
            error =
                MachineError{MachineErrorKind::Unreadable, iniPath.string(), 0, "cannot be read"};
            return nullptr;
        }
        IniError ie;
        if (!ParseMachineIni(bytes, m->ini_, ie)) {
            error = MachineError{LineKind(ie.line), iniPath.string(), ie.line, ie.message};
            return nullptr;
        }
    }

    const bool nt = m->ini_.os == OsFamily::Nt;
    m->registry_ = std::make_unique<MemoryRegistry>(nt);

    fs::path regDir = root / "registry";
    if (fs::exists(regDir, ec) && fs::is_directory(regDir, ec)) {
        std::vector<fs::path> files;
        ec = host::ForEachEntry(regDir, [&](const fs::directory_entry& entry) {
            std::error_code kind;
            if (entry.is_regular_file(kind) &&
                text::EndsWithNoCase(entry.path().filename().string(), ".reg")) {
                files.push_back(entry.path());
            }
            return true;
        });
        // A listing cut short would load part of the registry as if it were all.
        if (ec) {
            error = MachineError{MachineErrorKind::Unreadable, regDir.string(), 0,
                                 "cannot be read: " + ec.message()};
            return nullptr;
        }
        std::sort(files.begin(), files.end(),
                  [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
        for (const auto& f : files) {
            std::string bytes;
            if (!host::ReadWholeFile(f.string(), bytes)) {
                error = MachineError{MachineErrorKind::Unreadable, f.string(), 0, "cannot be read"};
                return nullptr;
            }
            RegFileError re;
            if (!ApplyRegFile(bytes, f.string(), *m->registry_, re)) {
                error = MachineError{LineKind(re.line), f.string(), re.line, re.message};
                return nullptr;
            }
        }
    }

    // Windows links CurrentControlSet to the set Select names when it starts;
    // the image starts here.
    m->registry_->LinkCurrentControlSet();

    for (const auto& key : m->ini_.protectedKeys) {
        HKEY hive = 0;
        std::string sub;
        if (!SplitKeyPath(key, hive, sub)) {
            error = MachineError{MachineErrorKind::ProtectedKeyRoot, iniPath.string(), 0,
                                 "protected key with an unknown root: " + key};
            return nullptr;
        }
        if (m->registry_->Protect(hive, sub) != ERROR_SUCCESS) {
            error = MachineError{MachineErrorKind::ProtectedKeyMissing, iniPath.string(), 0,
                                 "protected key does not exist: " + key};
            return nullptr;
        }
    }

    m->Assemble();
    return m;
}

bool ImageMachine::Save(MachineError& error) {
    // The registry and machine.ini (what still runs, what is still open, what is
    // still protected) change together or not at all.
    std::string regText;
    {
        auto lock = registry_->Lock();
        regText = WriteRegText(*registry_, RegWriteOptions{});
    }
    MachineIni ini = ini_;
    ini.processes = imageProcesses().RunningProcesses();
    ini.windows = imageProcesses().OpenWindows();
    ini.protectedKeys = registry_->ProtectedKeys();
    SaveFailure failure;
    if (!SaveImageFiles(folder_, regText, WriteMachineIni(ini), failure, saveCut_)) {
        error = SaveError(failure);
        return false;
    }
    return true;
}

bool ImageMachine::CheckWritable(MachineError& error) const {
    SaveFailure failure;
    if (CheckImageWritable(folder_, failure)) return true;
    error = SaveError(failure);
    return false;
}

}  // namespace veldan::machine::image
