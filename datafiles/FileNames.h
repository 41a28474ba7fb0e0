#pragma once
// Parts of a file path as the loaders use them.
#include <string>

// The file's own name, without its folders.
std::string FileNameOf(const std::string &path);

// The extension of the file's own name from its last point on (point
// included), in upper case (ASCII letters only); empty without a point.
std::string UpperFileExt(const std::string &path);
