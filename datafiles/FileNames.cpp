#include "datafiles/FileNames.h"

#include "datafiles/TextTokens.h"

std::string FileNameOf(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string UpperFileExt(const std::string &path) {
    const std::string name = FileNameOf(path);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : UpperAscii(name.substr(dot));
}
