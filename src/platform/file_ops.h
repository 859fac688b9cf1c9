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

// 1 when the path is an existing file (not a folder) of the given size, if any.
int MatchFile(Context& ctx, std::string_view param);
// Records the file (when it matches) and its ModuleUsage key, SharedDLLs value
// and MUICache values (whether or not it exists); 1 when anything new was recorded.
int ScanFile(Context& ctx, std::string_view param);
// Ends the program (".exe"), deletes the file (scheduling it for restart and
// reporting it when it stays) and removes its three registry traces. 1 when the
// file and all its traces are gone; a folder of that name is left alone.
int CureFile(Context& ctx, std::string_view param);
// 1 when the trace was newly recorded / is gone (failures are reported).
int ScanModuleUsage(Context& ctx, std::string_view path);
int CureModuleUsage(Context& ctx, std::string_view path);
int ScanSharedDll(Context& ctx, std::string_view path);
int CureSharedDll(Context& ctx, std::string_view path);
// Schedules the file for deletion at the next restart; 1 on success.
int DeleteAtRestart(Context& ctx, std::string_view path);
// 1 when the path followed by a backslash exists.
int IsExistingFolder(Context& ctx, std::string_view path);
// Records an existing folder; 1 when newly recorded.
int ScanFolder(Context& ctx, std::string_view path);
// Empties and removes the folder; 1 when it is gone.
int CureFolder(Context& ctx, std::string_view path);
// Ends the programs running from the folder and removes everything in it;
// 1 when everything went.
int DeleteFolderContents(Context& ctx, std::string_view folder);
// Removes the folder when it is empty; 1 when it is gone (or was never there).
int RemoveFolderIfEmpty(Context& ctx, std::string_view folder);
// Files (not folders) matching folder + "\\" + mask, in that folder only:
// records them (1 when any is new) / removes them with CureFile (1 when all went).
int ScanFilesByMask(Context& ctx, std::string_view mask, std::string_view folder);
int CureFilesByMask(Context& ctx, std::string_view mask, std::string_view folder);

}  // namespace veldan::platform
