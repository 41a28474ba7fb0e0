#pragma once
// JPEG pictures decoded with libjpeg into a QImage.
#include <QImage>
#include <cstddef>
#include <cstdint>

// A null image when the data is not a JPEG the decoder can read; never exits.
QImage DecodeJpeg(const uint8_t *data, std::size_t size);
