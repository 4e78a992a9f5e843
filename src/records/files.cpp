#include "records/files.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace files {

std::string userFolder(const char* xdg, std::string_view underHome, std::string& problem) {
    const char* chosen = std::getenv(xdg);
    if (chosen != nullptr && fs::path(chosen).is_absolute()) {
        return std::string(chosen).append("/kessandor");
    }
    std::string base = defaultFolder(underHome, problem);
    return base.empty() ? base : base.append("/kessandor");
}

std::string makeFolders(const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    return error ? error.message() : std::string();
}

std::optional<std::string> read(const std::string& path, std::string& problem) {
    problem.clear();
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               std::fclose);
    if (!file) {
        if (errno != ENOENT) {
            problem = lastError();
        }
        return std::nullopt;
    }
    std::string content;
    std::array<char, 8192> block{};
    for (std::size_t got = 0; (got = std::fread(block.data(), 1, block.size(), file.get())) > 0;) {
        content.append(block.data(), got);
    }
    if (std::ferror(file.get()) != 0) {
        problem = lastError();
        return std::nullopt;
    }
    return content;
}

std::string replace(const std::string& path, const std::string& temporary, std::string_view content,
                    bool durable) {
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        return lastError();
    }
    std::string problem;
    if (std::fwrite(content.data(), 1, content.size(), file) != content.size() ||
        std::fflush(file) != 0) {
        problem = lastError();
    } else if (durable) {
        problem = syncFile(file);
    }
    if (std::fclose(file) != 0 && problem.empty()) {
        problem = lastError();
    }
    if (problem.empty()) {
        problem = renameOver(temporary, path, durable);
    }
    if (!problem.empty()) {
        std::remove(temporary.c_str());
        return problem;
    }
    return durable ? syncFolder(fs::path(path).parent_path().string()) : std::string();
}

std::string remove(const std::string& path) {
    std::error_code error;
    fs::remove(path, error);
    return error ? error.message() : std::string();
}

std::vector<std::string> list(const std::string& folder, std::string_view suffix) {
    std::vector<std::string> paths;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (name.ends_with(suffix) && entry.is_regular_file(error)) {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace files
