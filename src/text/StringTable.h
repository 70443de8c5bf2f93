#pragma once

#include <QString>

#include <optional>

namespace tagsmith {

// The program's string table: every visible text by its resource id. Dutch texts sit at their base
// id, English ones at base id + 100. Screen texts use the base ids 1001 to 1055, file-error texts
// 2000 + the run-time error number.
//
// A missing id gives std::nullopt, which is not the same as an empty text.
std::optional<QString> loadString(int id);

// Language selector values for LangOffset.
inline constexpr int DutchOffset = 0;
inline constexpr int EnglishOffset = 100;

// Base ids of the messages the program raises.
namespace ids {
inline constexpr int Ok = 1015;
inline constexpr int ErrorTitle = 1030;
inline constexpr int NoDirectory = 1032;
inline constexpr int NoFile = 1033;
inline constexpr int SitePrompt = 1045;
inline constexpr int WarningTitle = 1046;
inline constexpr int DeleteOriginal = 1047;
inline constexpr int NoMarkAppending = 1048;
inline constexpr int NoPages = 1050;
inline constexpr int FileErrorBase = 2000;
// Undo of a folder's last run.
inline constexpr int KeepUndo = 3060;
inline constexpr int UndoButton = 3061;
inline constexpr int UndoButtonTip = 3062;
inline constexpr int KeepUndoTip = 3063;
inline constexpr int NoUndoData = 3064;
inline constexpr int UndoDamaged = 3065;
inline constexpr int ChangedSinceRun = 3066;
inline constexpr int UndoCopyLost = 3067;
inline constexpr int UndoNotKept = 3068;
inline constexpr int UndoTitle = 3069;
inline constexpr int UndoPagesOfRun = 3070;
inline constexpr int UndoWillRestore = 3071;
inline constexpr int UndoWillLeave = 3072;
inline constexpr int UndoSpace = 3073;
inline constexpr int UndoConfirm = 3074;
inline constexpr int UndoCancel = 3075;
inline constexpr int UndoRunUnfinished = 3076;
inline constexpr int UndoAlreadyBefore = 3077;
inline constexpr int UndoDone = 3078;
inline constexpr int UndoWillRemove = 3079;
// Sharing and sitemaps.
inline constexpr int SiteAddress = 3285;
inline constexpr int SiteAddressTip = 3286;
inline constexpr int BadSiteAddress = 3081;
// One run or undo of a folder at a time, undo data for every run, several runs deep.
inline constexpr int FolderBusy = 3215;
inline constexpr int UndoCannotKeep = 3216;
inline constexpr int UndoFolderGone = 3217;
inline constexpr int UndoDataMismatch = 3218;
inline constexpr int UndoRunDropped = 3219;
inline constexpr int UndoNothingUsable = 3220;
inline constexpr int UndoRunsKept = 3221;
inline constexpr int UndoFoundMoved = 3222;
inline constexpr int UndoListPages = 3223;
inline constexpr int UndoListGone = 3224;
inline constexpr int UndoListNone = 3225;
inline constexpr int UndoForgotten = 3226;
inline constexpr int NoUndoDataHint = 3227;
// The undo window's list of the runs kept: its columns, the run undo puts back next, and the runs dropped.
inline constexpr int RunsStarted = 3054;
inline constexpr int RunsPages = 3055;
inline constexpr int RunsSize = 3056;
inline constexpr int RunsOnUndo = 3057;
inline constexpr int RunsNext = 3058;
inline constexpr int RunsUnfinished = 3059;
inline constexpr int RunsDroppedBudget = 3256; // %1 runs, %2 the budget
inline constexpr int RunsDroppedDepth = 3257;  // %1 runs, %2 the most runs kept
inline constexpr int EveryWord = 3041;
inline constexpr int TellingWords = 3042;
inline constexpr int KeywordsTip = 3043;
inline constexpr int KeywordCountTip = 3044;
inline constexpr int SameDescription = 3046;
inline constexpr int OwnDescription = 3047;
inline constexpr int DescriptionTip = 3048;
inline constexpr int Unchanged = 3049;
inline constexpr int TemporariesRemoved = 3080;
// The database's own lines (start-up and the batch command).
inline constexpr int DatabaseLine = 3090;
inline constexpr int CannotMakeDataFolder = 3091;
inline constexpr int DatabaseMissing = 3204;  // the program's own, not there
inline constexpr int DatabaseNotThere = 3205; // one given that is not there, or not a file
inline constexpr int UndoDataLine = 3206;
// Arguments of a run refused before the first page.
inline constexpr int MainPageIsFolder = 3200;
inline constexpr int MainPageOutside = 3201;
inline constexpr int MainPageMeant = 3202; // %1 the page of the site's folder that may be meant
inline constexpr int IsFolder = 3203;
inline constexpr int PictureOutside = 3207;
inline constexpr int ReportOverPage = 3208;
// Why a page that declares a charset was read as Windows-1252 (%1 the charset).
inline constexpr int CharsetNotDecoded = 3085;
inline constexpr int CharsetUnknown = 3086;
// The screens: stopping a run or an undo, the prompt notice before a run, a page that cannot be opened,
// remembered choices.
inline constexpr int StoppedAfter = 3235; // %1 pages of %2
inline constexpr int CancelButton = 3236;
inline constexpr int CancelTip = 3237;
inline constexpr int PromptQuestion = 3238;
inline constexpr int RunAnyway = 3239;
inline constexpr int CannotOpenPage = 3240;
inline constexpr int RememberChoices = 3241;
inline constexpr int RememberChoicesTip = 3242;
inline constexpr int ChoicesNotKept = 3247; // %1 why
// The folder chooser's drive list, folder list, page list and chosen path.
inline constexpr int ChooserTips = 3243; // 3243 to 3246
} // namespace ids

} // namespace tagsmith
