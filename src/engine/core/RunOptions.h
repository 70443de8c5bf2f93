#pragma once

#include "storage/SettingsTable.h"

#include <QString>

#include <cstdint>

namespace tagsmith {

// Everything a run reads, taken once when it starts. The desktop program fills it from the main
// options screen (the control each field comes from is named) and the meta tag format screen; the
// batch command from its arguments.
struct RunOptions
{
    QString folder;                              // FrmTsMain.TxtVeld(0): the HTML folder
    QString mainPage;                            // FrmTsMain.TxtVeld(1): the main page; may be empty
    bool description = true;                     // ChkVeld(0): write the description line
    QString siteDescription;                     // TxtVeld(2): the site description
    bool generator = true;                       // ChkVeld(1): write the generator line
    bool robots = true;                          // ChkVeld(8): write the robots line
    bool revisit = true;                         // ChkVeld(2): write the revisit line
    QString revisitMonths = QStringLiteral("3"); // CmbSel(0): written unchanged
    bool minLength = true;                       // ChkVeld(3): minimum word length on
    QString minLengthText = QStringLiteral("6"); // CmbSel(1): its leading number is the limit
    bool caseConversion = true;                  // ChkVeld(4): convert the case of the written words
    bool upperCase = false;                      // ChkVeld(5)
    bool lowerCase = true;                       // ChkVeld(6); wins when both are on
    bool backup = false;                         // ChkVeld(7): keep the page as it was
    Templates templates = defaultTemplates();    // FrmTsSet.TxtVeld(0) to TxtVeld(7)
    bool siteDescriptionIsPrompt = false;        // TxtVeld(2) still holds the prompt of 1045
    // A dry run reads and scans as a run does and reports what it would write, but writes nothing:
    // no file is made, renamed or touched.
    bool dryRun = false;
    bool keepUndo = true;        // "Keep undo data": the run can be undone
    QString dataFolder;          // the program's data folder, where undo data is kept; empty: none is kept or removed
    std::int64_t undoBudget = 0; // bytes the undo data of a folder's runs may take; 0: the default
    // Keywords: every word of the page (false) or its most telling words (true), topKeywordCount of
    // them. With the most telling words every page is read before the first is written, and a rerun
    // with the same options on an unchanged site changes no byte (see MetaRun).
    bool topKeywords = false;
    int topKeywordCount = 15;
    // Description: the site description on every page (false) or each page's own, with the site
    // description for a page that has none (true).
    bool pageDescriptions = false;
    // The site's address (absolute http or https). With it every page's block also holds the page's
    // canonical link and the tags a shared link is previewed from, and the folder gets a sitemap.xml
    // and a Sitemap line in its robots.txt. Empty: none of that, and every byte as without it.
    QString siteUrl;
    // The picture every shared page shows: an address, or a file of the site named by its path in the
    // folder. Empty: each page's first large picture, if any.
    QString shareImage;
};

} // namespace tagsmith
