#include "tools/about/JpegDecoder.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace tess::tools {
namespace {

// The library reports a fatal error by calling error_exit, which must not
// return; by default it ends the process. Ours jumps back to the decoding
// call with the library's own description of the fault.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool damaged;
};

extern "C" void onFatalError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (level -1) mean the data was damaged and the library filled in
// the gaps; keep the first one instead of printing it.
extern "C" void onMessage(j_common_ptr cinfo, int level)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && !err->damaged) {
        err->damaged = true;
        (*cinfo->err->format_message)(cinfo, err->message);
    }
}

// Kept free of objects with destructors between setjmp and the library
// calls, so the jump back skips nothing that needs cleaning up. `out` is
// constructed by the caller and only assigned here.
bool decodeInto(const unsigned char* data, unsigned long size, QImage& out, char* message)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onFatalError;
    err.pub.emit_message = onMessage;
    err.damaged = false;
    err.message[0] = '\0';

    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(message, JMSG_LENGTH_MAX, "unsupported colour layout");
        return false;
    }
    out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB888);
    if (out.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(message, JMSG_LENGTH_MAX, "picture too large");
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (err.damaged) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        return false;
    }
    return true;
}

} // namespace

QImage decodeJpeg(QByteArrayView data, const QString& name)
{
    if (data.isEmpty())
        throw JpegError(QStringLiteral("Cannot decode JPEG picture %1: no data").arg(name));
    QImage image;
    char message[JMSG_LENGTH_MAX];
    if (!decodeInto(reinterpret_cast<const unsigned char*>(data.data()),
            static_cast<unsigned long>(data.size()), image, message)) {
        throw JpegError(
            QStringLiteral("Cannot decode JPEG picture %1: %2").arg(name, QString::fromLocal8Bit(message)));
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage loadJpeg(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw JpegError(QStringLiteral("Cannot open JPEG picture %1").arg(path));
    return decodeJpeg(file.readAll(), path);
}

} // namespace tess::tools
