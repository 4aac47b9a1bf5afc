// POSIX side of the platform layer. The installer's paths use '\'; they are turned into
// '/' here, at the call, so everything above runs unchanged on Linux.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/platform.h"

namespace qarn::platform {
namespace {

std::string native(const char* path) {
    std::string p(path);
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    return p;
}

// Windows name matching: letter case is ignored, and '?' stands for one character, or for
// none where the name reaches a '.' or its end (so "QARN_??.HLP" also finds "QARN_D.HLP").
bool same_ignoring_case(const char* pattern, const char* name) {
    for (; *pattern != '\0'; ++pattern) {
        if (*pattern == '?') {
            if (*name != '\0' && *name != '.') ++name;
            continue;
        }
        if (std::tolower(static_cast<unsigned char>(*pattern)) !=
            std::tolower(static_cast<unsigned char>(*name))) {
            return false;
        }
        ++name;
    }
    return *name == '\0';
}

}  // namespace

std::FILE* open_file_shared(const char* path, const char* mode, int /*sharing*/) {
    return std::fopen(native(path).c_str(), mode);
}

int seek_stream(std::FILE* file, int64_t offset, int origin) {
    return fseeko(file, static_cast<off_t>(offset), origin);
}

int64_t tell_stream(std::FILE* file) { return ftello(file); }

bool path_exists(const char* path) {
    struct stat st {};
    return *path != '\0' && ::stat(native(path).c_str(), &st) == 0;
}

bool is_directory(const char* path) {
    struct stat st {};
    return ::stat(native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

MakeDirResult make_directory(const char* path) {
    if (::mkdir(native(path).c_str(), 0777) == 0) return MakeDirResult::kCreated;
    return errno == ENOENT ? MakeDirResult::kParentMissing : MakeDirResult::kFailed;
}

bool remove_file(const char* path) {
    const std::string p = native(path);
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    // Windows refuses to delete a read-only file; so does this side, where read-only is a
    // file without its owner's write permission. An installation then fails the same way
    // on both systems.
    if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) return false;
    return ::unlink(p.c_str()) == 0;
}

bool set_file_dos_time(const char* path, uint32_t dos_date_time) {
    std::tm t{};
    const uint32_t date = dos_date_time >> 16;
    const uint32_t time = dos_date_time & 0xFFFF;
    t.tm_year = static_cast<int>((date >> 9) + 80);
    t.tm_mon = static_cast<int>(((date >> 5) & 15)) - 1;
    t.tm_mday = static_cast<int>(date & 31);
    t.tm_hour = static_cast<int>(time >> 11);
    t.tm_min = static_cast<int>((time >> 5) & 63);
    t.tm_sec = static_cast<int>((time & 31) * 2);
    t.tm_isdst = -1;  // local time, with the zone's own daylight rule
    const std::time_t when = std::mktime(&t);
    if (when == static_cast<std::time_t>(-1)) return false;
    const std::string p = native(path);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return false;
    struct timeval tv[2];
    tv[0].tv_sec = st.st_atime;  // last access stays as it is
    tv[0].tv_usec = 0;
    tv[1].tv_sec = when;
    tv[1].tv_usec = 0;
    return ::utimes(p.c_str(), tv) == 0;
}

bool set_file_attributes(const char* path, uint32_t attributes) {
    const std::string p = native(path);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & 0x01) {
        mode &= static_cast<mode_t>(~0222);
    } else {
        mode |= S_IWUSR;
    }
    return ::chmod(p.c_str(), mode) == 0;
}

uint32_t get_file_attributes(const char* path) {
    struct stat st {};
    if (::stat(native(path).c_str(), &st) != 0) return 0xFFFFFFFFu;
    uint32_t attr = S_ISDIR(st.st_mode) ? 0x10u : 0x20u;
    if ((st.st_mode & S_IWUSR) == 0) attr |= 0x01;
    return attr;
}

bool find_first_match(const char* pattern) {
    const std::string p = native(pattern);
    const size_t slash = p.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
    const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return false;
    bool found = false;
    while (const dirent* e = ::readdir(d)) {
        if (same_ignoring_case(name.c_str(), e->d_name)) {
            found = true;
            break;
        }
    }
    ::closedir(d);
    return found;
}

bool full_path(const char* path, char* out, size_t out_size) {
    std::string p = native(path);
    if (p.empty()) return false;
    if (p[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) == nullptr) return false;
        std::string absolute(cwd);
        absolute += '/';
        absolute += p;
        p = absolute;
    }
    // Fold "." and ".." lexically, as Windows does, without touching the file system.
    std::string result;
    size_t i = 0;
    while (i < p.size()) {
        size_t j = p.find('/', i);
        if (j == std::string::npos) j = p.size();
        const std::string part = p.substr(i, j - i);
        if (part == "..") {
            const size_t cut = result.rfind('/');
            result.erase(cut == std::string::npos ? 0 : cut);
        } else if (!part.empty() && part != ".") {
            result += '/';
            result += part;
        }
        i = j + 1;
    }
    if (result.empty()) result = "/";
    if (result.size() + 1 > out_size) return false;
    // Back into the installer's form: the callers cut and join at '\'.
    for (char& c : result) {
        if (c == '/') c = '\\';
    }
    std::memcpy(out, result.c_str(), result.size() + 1);
    return true;
}

bool is_terminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

void to_installer_separators(char* path) {
    for (char* p = path; *p != '\0'; ++p) {
        if (*p == '/') *p = '\\';
    }
}

}  // namespace qarn::platform
