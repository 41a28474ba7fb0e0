#include "forms/qt/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

// libjpeg's own handler ends the process; ours jumps back to the decoder.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr) {} // warnings stay quiet

// Separate from DecodeJpeg so that no object with a destructor lives across
// the setjmp: longjmp must skip only plain data.
bool Decode(jpeg_decompress_struct &cinfo, ErrorManager &err, const uint8_t *data, std::size_t size,
            QImage &out) {
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.output_message = OnMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const int w = static_cast<int>(cinfo.output_width);
    const int h = static_cast<int>(cinfo.output_height);
    const QImage::Format fmt =
        cinfo.output_components == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888;
    out = QImage(w, h, fmt);
    if (out.isNull()) { // too large to hold
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

QImage DecodeJpeg(const uint8_t *data, std::size_t size) {
    if (data == nullptr || size == 0)
        return {};
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    QImage image;
    if (!Decode(cinfo, err, data, size, image))
        return {};
    return image;
}
