#pragma once

#include "engine/core/RunOptions.h"

#include <QString>

#include <optional>

namespace tagsmith {

// An argument of a run that cannot work, found before the first page is touched.
struct Refusal
{
    int textId = 0;   // base id of the message: the program's own text, or a file-error text (2000 + n)
    QString path;     // what the message is about
    QString argument; // the text's %1, when it has one
    // The argument is wrong whatever the disk holds (a folder given as the main page), rather than
    // refused by the disk (a folder that does not exist or cannot be written).
    bool badUsage = false;
};

// The main page of a run: a page (not a folder, not the site's folder), in a folder that exists and,
// unless the run is dry, can be written. A relative name that does not exist is refused as well when
// it would be made outside the site, in whatever folder the run was started from; when the site's
// folder has a page of that name, the message suggests it.
std::optional<Refusal> refuseMainPage(const RunOptions &options);

// The site's picture, when it is given as a file of the site (with a site address): a file that is there.
std::optional<Refusal> refuseShareImage(const RunOptions &options);

// A file the run writes besides its pages (the report): not a folder, in a folder that exists and can
// be written.
std::optional<Refusal> refuseOutputFile(const QString &path);
// The report must not take the place of what the run writes: the main page, a page of the site's folder,
// or (with a site address) its sitemap or robots.txt, also through a link. A dry run would otherwise write
// over a page too.
std::optional<Refusal> refuseReportOverPage(const QString &report, const RunOptions &options);

} // namespace tagsmith
