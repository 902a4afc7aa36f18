#include "platform/AviErrors.h"

#include <QString>
#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

AviResult AviReadResult(int error) {
    switch (error) {
    case AVERROR(ENOMEM):
        return AVIERR_MEMORY;
    case AVERROR(ENOENT):
    case AVERROR(EACCES):
    case AVERROR(EPERM):
    case AVERROR(EISDIR):
    case AVERROR(ENOTDIR):
    case AVERROR(ENAMETOOLONG):
    case AVERROR(ELOOP):
    case AVERROR(ENXIO):
    case AVERROR(EMFILE):
    case AVERROR(ENFILE):
        return AVIERR_FILEOPEN;
    case AVERROR(EIO):
        return AVIERR_FILEREAD;
    default:
        return AVIERR_BADFORMAT;
    }
}

AviResult AviCreateResult(int error) {
    return error == AVERROR(ENOMEM) ? AVIERR_MEMORY : AVIERR_FILEOPEN;
}

AviResult AviWriteResult(int error) {
    return error == AVERROR(ENOMEM) ? AVIERR_MEMORY : AVIERR_FILEWRITE;
}

QString AviOpenMessage(AviResult result) {
    switch (result) {
    case AVIERR_BADFORMAT:
        return QStringLiteral("The file couldn't be read");
    case AVIERR_MEMORY:
        return QStringLiteral("The file could not be opened because of insufficient memory.");
    case AVIERR_FILEREAD:
        return QStringLiteral("A disk error occurred while reading the file.");
    case AVIERR_FILEOPEN:
        return QStringLiteral("A disk error occurred while opening the file.");
    default:
        return QString();
    }
}
