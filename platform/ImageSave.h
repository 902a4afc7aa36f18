#pragma once

#include "Exceptions.h"

#include <QImage>
#include <QString>

// An image that could not be saved: the file cannot be created or written, or an encoder failed.
class EImageSaveError : public Exception {
    using Exception::Exception;
};

// Writes the image to fileName in the format that the file name's extension names, compared in lower
// case: ".jpg" is JPEG at quality 80, ".gif" GIF (at most 256 colours), ".png" PNG, and any other
// extension (".jpeg" included) or none a 24-bit Windows bitmap. The data goes to a temporary file
// beside the target, which then replaces it: a failed save leaves an existing file as it was. Throws
// EImageSaveError.
void SaveImage(const QImage& image, const QString& fileName);
