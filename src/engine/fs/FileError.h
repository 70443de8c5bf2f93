#pragma once

namespace tagsmith {

// Run-time error numbers of file operations. Every file error the program reports is one of these,
// so that it can be shown with its Dutch (2000 + n) and English (2100 + n) text.
namespace fileerr {
inline constexpr int BadFileName = 52;
inline constexpr int FileNotFound = 53;
inline constexpr int BadFileMode = 54;
inline constexpr int FileAlreadyOpen = 55;
inline constexpr int DeviceIO = 57;
inline constexpr int FileAlreadyExists = 58;
inline constexpr int DiskFull = 61;
inline constexpr int TooManyFiles = 67;
inline constexpr int DeviceUnavailable = 68;
inline constexpr int PermissionDenied = 70;
inline constexpr int DiskNotReady = 71;
inline constexpr int PathFileAccess = 75;
inline constexpr int PathNotFound = 76;
} // namespace fileerr

// Maps an operating-system error (errno) onto the run-time error number of the file error it is.
// Errors with no closer match become a device I/O error (57).
int fileErrorFromErrno(int err);

} // namespace tagsmith
