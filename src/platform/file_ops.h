#pragma once
// File and folder primitives: a file is looked at together with its ModuleUsage
// key, its SharedDLLs value and its MUICache values. Scan primitives record
// found items; cure primitives remove and record what they could not remove.
//
// A file parameter is "path", "path|size" or "path|size|extra"; the size, when
// given, must equal the file's length for the file to match.

#include <string>
#include <string_view>

#include "platform/context.h"

namespace veldan::platform {

struct FileParam {
    std::string path;
    std::string sizeText;  // "" when no size is given
    std::string extra;
};

// Splits a file parameter at its first "|" (the rest trimmed and split again).
FileParam SplitFileParam(std::string_view param);

// `folder` and `name` joined by exactly one backslash, as PathCombine joins them;
// `name` alone when `folder` is empty.
std::string CombinePath(std::string_view folder, std::string_view name);
// The extension of the path's last component, from its last "." ("" when it has
// none), as PathFindExtension finds it.
std::string_view PathExtension(std::string_view path);

int MatchFile(Context& ctx, std::string_view param);
int ScanFile(Context& ctx, std::string_view param);
int CureFile(Context& ctx, std::string_view param);
int ScanModuleUsage(Context& ctx, std::string_view path);
int CureModuleUsage(Context& ctx, std::string_view path);
int ScanSharedDll(Context& ctx, std::string_view path);
int CureSharedDll(Context& ctx, std::string_view path);
// Schedules the file for deletion at the next restart.
int DeleteAtRestart(Context& ctx, std::string_view path);
int IsExistingFolder(Context& ctx, std::string_view path);
int ScanFolder(Context& ctx, std::string_view path);
int CureFolder(Context& ctx, std::string_view path);
int DeleteFolderContents(Context& ctx, std::string_view folder);
int RemoveFolderIfEmpty(Context& ctx, std::string_view folder);
int ScanFilesByMask(Context& ctx, std::string_view mask, std::string_view folder);
int CureFilesByMask(Context& ctx, std::string_view mask, std::string_view folder);

}  // namespace veldan::platform
