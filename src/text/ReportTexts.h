#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

namespace tagsmith {

// Base ids of the texts of the run report and the preview (Dutch; English at id + 100).
namespace ids::report {
inline constexpr int Title = 3000;
inline constexpr int PreviewTitle = 3001;
inline constexpr int PreviewButton = 3002;
inline constexpr int PreviewTip = 3003;
inline constexpr int PagesWritten = 3004;
inline constexpr int PagesWouldBeWritten = 3005;
inline constexpr int Warnings = 3006;
inline constexpr int Errors = 3007;
inline constexpr int Summary = 3008;
inline constexpr int MainPage = 3009;
inline constexpr int DescriptionWillGet = 3010;
inline constexpr int DescriptionGot = 3011;
inline constexpr int FirstColumn = 3012;  // 3012 to 3019: page, encoding, outcome, words found,
                                          // keywords written, backup, bytes before, bytes after
inline constexpr int FirstOutcome = 3020; // 3020 to 3025, in the order of PageOutcome
// A site file (sitemap.xml, robots.txt) the run made or changed: no main page made, no META tags replaced.
inline constexpr int FileCreated = 3082;
inline constexpr int FileChanged = 3083;
inline constexpr int OnlyProblems = 3026;
inline constexpr int SaveCsv = 3027;
inline constexpr int Before = 3028;
inline constexpr int After = 3029;
inline constexpr int KeywordsColumn = 3050;
inline constexpr int DescriptionColumn = 3051;
inline constexpr int PagesUnchanged = 3052;
inline constexpr int SummaryWithUnchanged = 3053;
inline constexpr int DescriptionSourceColumn = 3270;
inline constexpr int FirstDescriptionSource = 3271; // 3271 to 3274: own tag, page text, text given, none
inline constexpr int ChecksColumn = 3275;
// The pagecheck flags in the order of their bits: no title, title elsewhere, description elsewhere,
// description short, description long.
inline constexpr int Checks[] = {3276, 3277, 3278, 3279, 3092};
inline constexpr int OnlyToCheck = 3093;
} // namespace ids::report

// The locale whose number format goes with a language (DutchOffset or EnglishOffset).
QLocale localeOf(int langOffset);

// A "one|more" text of the string table for a count: the first form for 1, the second for any other
// count, with the count written as the language writes numbers ("20,001" / "20.001").
QString countText(int id, std::int64_t count, int langOffset);

// The totals of a run in one sentence: "20,001 pages written, 414 warnings, 0 errors in 5.6 s"; with
// pages left unchanged "19,990 pages written, 11 unchanged, 414 warnings, 0 errors in 5.6 s".
QString runSummary(std::int64_t written, std::int64_t unchanged, std::int64_t warnings, std::int64_t errors,
                   std::int64_t elapsedNs, bool dryRun, int langOffset);

} // namespace tagsmith
