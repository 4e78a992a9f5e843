#include "records/files.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace files {

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::int32_t kLockPollMs = 20;

}  // namespace

std::string userFolder(const char* xdg, std::string_view underHome, std::string& problem) {
    const char* chosen = std::getenv(xdg);
    if (chosen != nullptr && fs::path(chosen).is_absolute()) {
        return std::string(chosen).append("/kessandor");
    }
    std::string base = defaultFolder(underHome, problem);
    return base.empty() ? base : base.append("/kessandor");
}

std::string makeFolders(const std::string& folder) {
    fs::path sofar;
    for (const fs::path& part : fs::path(folder)) {
        sofar /= part;
        std::error_code error;
        if (fs::is_directory(sofar, error)) {
            continue;
        }
        if (std::string problem = makeFolder(sofar.string()); !problem.empty()) {
            return problem;
        }
    }
    return {};
}

std::optional<std::string> read(const std::string& path, std::size_t most, std::string& problem) {
    problem.clear();
    const File file(openRegular(path, most, problem), std::fclose);
    if (!file) {
        return std::nullopt;
    }
    std::string content;
    std::array<char, 8192> block{};
    for (std::size_t got = 0; (got = std::fread(block.data(), 1, block.size(), file.get())) > 0;) {
        content.append(block.data(), got);
        if (content.size() > most) {  // it grew while being read
            problem = std::string("larger than ").append(std::to_string(most)) += " bytes";
            return std::nullopt;
        }
    }
    if (std::ferror(file.get()) != 0) {
        problem = lastError();
        return std::nullopt;
    }
    return content;
}

std::string replace(const std::string& path, std::string_view content, bool durable) {
    const std::string temporary = temporaryFor(path);
    std::string problem;
    std::FILE* file = createTemporary(temporary, path, problem);
    if (file == nullptr) {
        return problem;
    }
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

std::string temporaryFor(const std::string& path) {
    return path + "." + randomName() + std::string(kTemporarySuffix);
}

std::string removeTemporaries(const std::string& path) {
    const fs::path whole(path);
    std::string problem;
    std::vector<std::string> found =
        list(whole.parent_path().string(), whole.filename().string(), kTemporarySuffix, problem);
    for (const std::string& temporary : found) {
        const std::string_view middle = std::string_view(temporary).substr(
            path.size(), temporary.size() - path.size() - kTemporarySuffix.size());
        const bool ours = middle.empty() || (middle.size() == 17 && middle[0] == '.');
        if (std::string failed = ours ? remove(temporary) : ""; problem.empty()) {
            problem = failed;
        }
    }
    return problem;
}

std::string remove(const std::string& path) {
    std::error_code error;
    fs::remove(path, error);
    return error ? error.message() : std::string();
}

std::vector<std::string> list(const std::string& folder, std::string_view prefix,
                              std::string_view suffix, std::string& problem) {
    std::vector<std::string> paths;
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error) {
        problem = error == std::errc::no_such_file_or_directory ? "" : error.message();
        return paths;
    }
    for (const fs::directory_entry& entry : entries) {
        std::string name = entry.path().filename().string();
        if (name.starts_with(prefix) && name.ends_with(suffix) &&
            name.size() >= prefix.size() + suffix.size()) {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> byAge(std::vector<std::string> paths) {
    std::vector<std::pair<fs::file_time_type, std::string>> aged;
    for (std::string& path : paths) {
        std::error_code error;
        const fs::file_time_type written = fs::last_write_time(path, error);
        aged.emplace_back(error ? fs::file_time_type::min() : written, std::move(path));
    }
    std::sort(aged.begin(), aged.end());
    std::vector<std::string> sorted;
    sorted.reserve(aged.size());
    for (auto& [written, path] : aged) {
        sorted.push_back(std::move(path));
    }
    return sorted;
}

std::string randomName() {
    constexpr std::string_view kHexDigits = "0123456789abcdef";
    std::array<unsigned char, 8> bytes{};
    randomBytes(bytes.data(), bytes.size());
    std::string name;
    for (const unsigned char byte : bytes) {
        name.append(1, kHexDigits[byte >> 4U]).append(1, kHexDigits[byte & 15U]);
    }
    return name;
}

Lock::Lock(const std::string& path, std::int32_t waitMs, Create create)
    : path_(path), fd_(openLockFile(path, create == Create::onlyNew)) {
    if (fd_ < 0) {
        problem_ = lastError();
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    int taken = tryLock(fd_);
    while (taken == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kLockPollMs));
        taken = tryLock(fd_);
    }
    busy_ = taken == 0;
    if (taken < 0) {
        problem_ = lastError();
    } else if (busy_) {
        problem_ = "held by another program";
    }
}

Lock::~Lock() {
    if (fd_ >= 0) {
        closeLockFile(fd_);  // releases the lock
    }
}

std::string Lock::removeFile() {
    return held() ? removeLockFile(fd_, path_) : std::string();
}

}  // namespace files
