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
inline constexpr int EveryWord = 3041;
inline constexpr int TellingWords = 3042;
inline constexpr int KeywordsTip = 3043;
inline constexpr int KeywordCountTip = 3044;
inline constexpr int SameDescription = 3046;
inline constexpr int OwnDescription = 3047;
inline constexpr int DescriptionTip = 3048;
inline constexpr int Unchanged = 3049;
// The database's own lines (start-up and the batch command).
inline constexpr int DatabaseLine = 3090;
inline constexpr int CannotMakeDataFolder = 3091;
} // namespace ids

} // namespace tagsmith
