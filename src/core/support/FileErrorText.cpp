#include "support/FileErrorText.h"

#include <cerrno>

#include "support/checked_file.h"
#include "support/textutil.h"
#include "texts/support_texts.h"

std::string FileErrorReason(int error)
{
    switch (error) {
    case ENOENT:
        return texts::FileNotFound();
    case EACCES:
    case EPERM:
        return texts::FileAccessDenied();
    case EISDIR:
        return texts::FileIsFolder();
    case NotRegularFileError:
        return texts::FileNotRegular();
    case ENOTDIR:
        return texts::FilePathNotFolder();
    case ENOSPC:
    case EDQUOT:
        return texts::FileDiskFull();
    case EROFS:
        return texts::FileReadOnlySystem();
    case EFBIG:
        return texts::FileTooLarge();
    default:
        return ErrorText(error);
    }
}
