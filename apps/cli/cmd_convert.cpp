// machine convert: a machine image to a Windows installation with hive files
// (--format hive), or an installation to a machine image (--format reg).

#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "machine/backends/convert.h"
#include "machine/backends/open_machine.h"
#include "session.h"

namespace veldan::cli {

namespace {

constexpr const char* kConvertUsage =
    "usage: machine convert --from DIR --to DIR --format reg|hive";

}  // namespace

int RunMachineConvert(const ConvertOptions& o, const MachineOptions& load) {
    const std::string* from = &o.from;
    const std::string* to = &o.to;
    const std::string* format = &o.format;
    if (from->empty() || to->empty() || format->empty()) return Fail(kExitUsage, kConvertUsage);
    if (*format != "reg" && *format != "hive") {
        return Fail(kExitUsage, "unknown format '" + *format + "' (" + kConvertUsage + ")");
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(*from, ec)) {
        return Fail(kExitFailure, "cannot load machine: " + *from + ": folder not found");
    }
    const bool fromInstallation = machine::HoldsInstallation(*from);
    if ((*format == "hive") == fromInstallation) {
        return Fail(kExitUsage, *from + " is a " +
                                    (fromInstallation ? "Windows installation" : "machine image") +
                                    " already");
    }

    machine::hive::ConvertReport report;
    machine::hive::ConvertError error;
    bool ok;
    if (*format == "hive") {
        ok = machine::hive::ConvertImageToInstallation(*from, *to, report, error);
    } else {
        ok = machine::hive::ConvertInstallationToImage(
            *from, load.Load(), *to, report, error);
    }
    if (!ok) return Fail(error.chooseUser ? kExitUsage : kExitFailure, error.message);
    for (const auto& w : report.written) std::printf("written: %s\n", w.c_str());
    for (const auto& n : report.notes) std::printf("note: %s\n", n.c_str());
    std::printf("converted %s to %s (%s)\n", from->c_str(), to->c_str(), format->c_str());
    return kExitOk;
}

}  // namespace veldan::cli
