#pragma once
// A fresh folder per test for the fixture files the tests write.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

class TTempDir {
public:
    TTempDir() {
        auto base = std::filesystem::temp_directory_path() / "pelmor-datafiles-XXXXXX";
        std::string templ = base.string();
        if (!mkdtemp(templ.data()))
            throw std::runtime_error("mkdtemp failed");
        Dir = templ;
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    TTempDir(const TTempDir &) = delete;
    TTempDir &operator=(const TTempDir &) = delete;

    // Writes the bytes as they are (no line-end translation); returns the path.
    std::string Write(const std::string &name, const std::string &bytes) const {
        const auto p = (Dir / name).string();
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    std::string Path(const std::string &name) const { return (Dir / name).string(); }

private:
    std::filesystem::path Dir;
};
