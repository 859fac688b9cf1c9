#include "support/update_release.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <stdlib.h>

#include "host/file_read.h"
#include "support/zip_writer.h"
#include "text/codepage.h"

namespace veldan::test {

namespace {

// `text` in single quotes for the shell.
std::string Quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

}  // namespace

std::string MarkerScript(const std::string& tag, const std::string& markerPath) {
    return "#!/bin/sh\n"
           "{ printf '%s\\n' " +
           Quoted(tag) + "; pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > " +
           Quoted(markerPath + ".part") + " && mv " + Quoted(markerPath + ".part") + " " +
           Quoted(markerPath) + "\n";
}

std::string BuildMarkerRelease(const std::string& tag, const std::string& markerPath,
                               const std::vector<ReleaseFile>& files) {
    ZipWriter zip;
    ZipFileOptions program;
    program.unixMode = 0100755;
    zip.AddFile("Veldan", MarkerScript(tag, markerPath), program);
    for (const ReleaseFile& f : files) zip.AddFile(f.name, f.bytes);
    return zip.Finish();
}

std::vector<std::string> ReadMarker(const std::string& markerPath) {
    std::string bytes;
    std::vector<std::string> lines;
    if (!host::ReadWholeFile(markerPath, bytes)) return lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::map<std::string, std::string> FolderSnapshot(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string key = e.path().lexically_relative(folder).generic_string();
        if (e.is_directory()) {
            files[key + "/"] = "";
        } else {
            std::ifstream in(e.path(), std::ios::binary);
            files[key] = std::string((std::istreambuf_iterator<char>(in)), {});
        }
    }
    return files;
}

bool WaitForFile(const std::string& path, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    std::error_code ec;
    while (!std::filesystem::exists(path, ec)) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void BypassProxies() {
    ::setenv("no_proxy", "*", 1);
    ::setenv("NO_PROXY", "*", 1);
}

}  // namespace veldan::test
