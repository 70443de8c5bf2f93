#include "engine/fs/FileError.h"

#include <cerrno>

namespace tagsmith {

int fileErrorFromErrno(int err)
{
    switch (err) {
    case ENOENT:
        return fileerr::FileNotFound;
    case ENOTDIR:
        return fileerr::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return fileerr::PermissionDenied;
    case EISDIR:
    case ELOOP:
        return fileerr::PathFileAccess;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return fileerr::DiskFull;
    case EMFILE:
    case ENFILE:
        return fileerr::TooManyFiles;
    case EEXIST:
    case ENOTEMPTY:
        return fileerr::FileAlreadyExists;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
        return fileerr::BadFileName;
    case EBUSY:
    case ETXTBSY:
        return fileerr::FileAlreadyOpen;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
        return fileerr::DeviceUnavailable;
    case EAGAIN:
        return fileerr::DiskNotReady;
    default:
        return fileerr::DeviceIO;
    }
}

} // namespace tagsmith
