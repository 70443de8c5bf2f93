#include "engine/run/RunChecks.h"

#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "engine/page/SiteSharing.h"
#include "engine/run/PageList.h"
#include "engine/run/Sitemap.h"
#include "text/StringTable.h"

#include <cerrno>
#include <string>

namespace tagsmith {
namespace {

Refusal fileRefusal(int err, const std::string &path)
{
    return {ids::FileErrorBase + fileErrorFromErrno(err), fs::fromNative(path), {}, false};
}

// The folder a file is to be made in: it exists, is a folder, and (when asked) can take new files.
std::optional<Refusal> refuseFolderOf(const std::string &file, bool writing)
{
    const std::string folder = fs::folderOf(file);
    fs::Status st;
    if (const int err = fs::pathStatus(folder, &st); err != 0 || !st.isFolder())
        return err == 0 || err == ENOENT || err == ENOTDIR
                   ? Refusal{ids::FileErrorBase + fileerr::PathNotFound, fs::fromNative(folder), {}, false}
                   : fileRefusal(err, folder);
    if (writing)
        if (const int err = fs::mayWriteIn(folder); err != 0)
            return fileRefusal(err, folder);
    return std::nullopt;
}

// Whether the page would be made in the site's folder or a folder inside it.
bool inSiteFolder(const QString &page, const QString &site)
{
    const QString folder = fs::absoluteCleanPath(site);
    const QString made = fs::absoluteCleanPath(page);
    return made.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

// Where a path leads: the folder its file is in, every link resolved (the file's own too, where it is
// there), and the file's name in it. False when its folder is not there.
bool resolvedPlace(const std::string &path, std::string *folder, std::string *name)
{
    std::string resolved;
    if (fs::realPath(path, &resolved) != 0) {
        const std::size_t slash = path.rfind('/');
        const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        if (fs::realPath(fs::folderOf(path), &resolved) != 0)
            return false;
        resolved += resolved.ends_with('/') ? base : '/' + base;
    }
    *folder = fs::folderOf(resolved);
    *name = resolved.substr(resolved.rfind('/') + 1);
    return true;
}

} // namespace

std::optional<Refusal> refuseReportOverPage(const QString &report, const RunOptions &options)
{
    std::string folder, name;
    if (!resolvedPlace(fs::native(report), &folder, &name))
        return std::nullopt;
    const Refusal refusal{ids::ReportOverPage, report, {}, true};
    std::string mainFolder, mainName;
    if (!options.mainPage.isEmpty() && resolvedPlace(fs::native(options.mainPage), &mainFolder, &mainName) &&
        mainFolder == folder && mainName == name)
        return refusal;
    std::string site;
    if (fs::realPath(fs::native(options.folder), &site) != 0 || site != folder)
        return std::nullopt;
    if (isPageName(name) || (!options.siteUrl.isEmpty() && sitemap::isSiteFileName(name)))
        return refusal;
    return std::nullopt;
}

std::optional<Refusal> refuseMainPage(const RunOptions &options)
{
    if (options.mainPage.isEmpty())
        return std::nullopt;
    const std::string page = fs::native(options.mainPage);
    fs::Status st;
    const int err = fs::pathStatus(page, &st);
    if (err == 0 && st.isFolder())
        return Refusal{ids::MainPageIsFolder, options.mainPage, {}, true};
    if (err == ENOENT && !page.starts_with('/') && !inSiteFolder(options.mainPage, options.folder)) {
        const QString inSite = fs::pathIn(options.folder, options.mainPage);
        if (fs::isFile(inSite))
            return Refusal{ids::MainPageMeant, options.mainPage, inSite, true};
        return Refusal{ids::MainPageOutside, options.mainPage, {}, true};
    }
    if (err != 0 && err != ENOENT && err != ENOTDIR)
        return fileRefusal(err, page);
    return refuseFolderOf(page, !options.dryRun);
}

std::optional<Refusal> refuseShareImage(const RunOptions &options)
{
    if (options.siteUrl.isEmpty())
        return std::nullopt;
    const QString inSite = SiteSharing::pictureInSite(options);
    if (inSite.isEmpty())
        return std::nullopt;
    // Its address is made from its path under the folder: a picture above it has none.
    if (inSite == QLatin1String("..") || inSite.startsWith(QLatin1String("../")))
        return Refusal{ids::PictureOutside, options.shareImage.trimmed(), {}, true};
    const QString path = fs::pathIn(options.folder, inSite);
    fs::Status st;
    const int err = fs::pathStatus(fs::native(path), &st);
    if (err == 0 && st.isFolder())
        return Refusal{ids::IsFolder, path, {}, true};
    if (err == ENOENT || err == ENOTDIR)
        return Refusal{ids::FileErrorBase + fileerr::FileNotFound, path, {}, false};
    if (err != 0)
        return fileRefusal(err, fs::native(path));
    return std::nullopt;
}

std::optional<Refusal> refuseOutputFile(const QString &path)
{
    const std::string file = fs::native(path);
    fs::Status st;
    const int err = fs::pathStatus(file, &st);
    if (err == 0 && st.isFolder())
        return Refusal{ids::IsFolder, path, {}, true};
    if (err != 0 && err != ENOENT && err != ENOTDIR)
        return fileRefusal(err, file);
    return refuseFolderOf(file, true);
}

} // namespace tagsmith
