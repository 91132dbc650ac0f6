#pragma once

#include "text/Errors.h"

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace tess::tools {

// A picture that is not a JPEG the decoder can read whole. The message
// names the picture and what the decoder found wrong.
class JpegError final : public text::AppError {
public:
    using text::AppError::AppError;
};

// Decodes JPEG bytes into an RGB image. `name` identifies the picture in
// the error. Throws JpegError on corrupt, truncated or unsupported data;
// damaged data the decoder could paper over counts as corrupt too.
QImage decodeJpeg(QByteArrayView data, const QString& name);

// Reads a file (or a ":/" resource) and decodes it. Throws JpegError when it
// cannot be read or decoded.
QImage loadJpeg(const QString& path);

} // namespace tess::tools
