#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <string_view>

namespace tagsmith {

namespace fs {
class FolderEntry;
}

// The pages of a folder: its regular files (links followed) whose name ends in ".htm" or ".html" in
// any case, without hidden dot-files and subfolders, in case-insensitive name order. Bare file names.
// The chooser's file list and the run both use this one enumeration.
// A folder that cannot be read gives an empty list; *error (when given) then holds the run-time
// error number (76 for a folder that does not exist), else 0.
// alsoEach, when given, sees every entry of the folder too, so that a caller needs no second listing.
QStringList listPages(const QString &folder, int *error = nullptr,
                      const std::function<void(const fs::FolderEntry &)> &alsoEach = nullptr);
// Whether a file of that name (its bytes, no folder) is a page when it is a regular file.
bool isPageName(std::string_view name);

} // namespace tagsmith
