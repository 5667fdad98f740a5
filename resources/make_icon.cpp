// Build-time tool: draws the application icon and writes it as an .ico file.
// Usage: make_icon <output.ico>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <vector>

#include "resources/icon_art.h"
#include "resources/icon_image.h"

namespace {

bool WriteFile(const char* path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return static_cast<bool>(file);
}

// A half-written icon would be newer than make_icon and so taken as up to date by the next build. Only a
// regular file is removed: the path may name a device or anything else that is not ours to delete.
void RemovePartialFile(const char* path) {
    std::error_code ignored;
    if (std::filesystem::is_regular_file(path, ignored)) {
        std::filesystem::remove(path, ignored);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon <output.ico>\n");
        return 2;
    }
    const char* path = argv[1];
    try {
        if (!WriteFile(path, korvane::icon::EncodeIco(korvane::icon::AppIconEntries()))) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", path);
            RemovePartialFile(path);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_icon: %s\n", error.what());
        return 1;
    }
    return 0;
}
