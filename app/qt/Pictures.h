#pragma once
// The windows' pictures, stored as JPEG in the program and decoded with libjpeg.
#include <QPixmap>
#include <string>

// The picture of a TImage's name ("toolbar", "about"); a null pixmap if unknown.
QPixmap Picture(const std::string &name);
