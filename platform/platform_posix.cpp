// POSIX side of the platform layer. The installer's paths use '\'; they are turned into
// '/' here, at the call, so everything above runs unchanged on Linux.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

// An open descriptor, closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(-1); }
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// Opens the folder that holds the path's last name, walking from `base` one folder at a
// time by descriptor: openat with O_NOFOLLOW fails on a link, so a folder swapped for one
// is never entered. The last name goes to `last`. False when a folder on the way is
// missing, is no folder or is a link, or the path has an empty, "." or ".." component.
bool open_parent_below(const char* base, const char* relative, Descriptor& folder,
                       std::string& last) {
    folder.reset(::open(native(base).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) return false;
    std::string name;
    for (const char* p = relative;; ++p) {
        if (*p != '\0' && *p != '\\' && *p != '/') {
            name += *p;
            continue;
        }
        if (name.empty() || name == "." || name == "..") return false;
        if (*p == '\0') break;
        const int next = ::openat(folder.get(), name.c_str(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) return false;
        folder.reset(next);
        name.clear();
    }
    last = name;
    return true;
}

struct timespec dos_time_to_timespec(uint32_t dos_date_time, bool& ok) {
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
    ok = when != static_cast<std::time_t>(-1);
    struct timespec ts {};
    ts.tv_sec = when;
    return ts;
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
    bool ok = false;
    const struct timespec when = dos_time_to_timespec(dos_date_time, ok);
    if (!ok) return false;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // last access stays as it is
    times[1] = when;
    return ::utimensat(AT_FDCWD, native(path).c_str(), times, 0) == 0;
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

Found look_below(const char* base, const char* relative) {
    Descriptor folder;
    std::string last;
    if (!open_parent_below(base, relative, folder, last)) {
        // A missing folder on the way means a missing path; anything else is not ours.
        return {errno == ENOENT ? Kind::kMissing : Kind::kOther, 0, 0};
    }
    struct stat st {};
    if (::fstatat(folder.get(), last.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return {errno == ENOENT ? Kind::kMissing : Kind::kOther, 0, 0};
    }
    const uint32_t read_only = (st.st_mode & S_IWUSR) == 0 ? 0x01u : 0u;
    if (S_ISLNK(st.st_mode)) return {Kind::kLink, 0, 0};
    if (S_ISDIR(st.st_mode)) return {Kind::kFolder, 0, 0x10u | read_only};
    if (S_ISREG(st.st_mode)) return {Kind::kFile, static_cast<uint64_t>(st.st_size), read_only};
    return {Kind::kOther, 0, 0};
}

bool make_folder_below(const char* base, const char* relative) {
    Descriptor folder;
    std::string last;
    return open_parent_below(base, relative, folder, last) &&
           ::mkdirat(folder.get(), last.c_str(), 0777) == 0;
}

bool move_file_below(const char* base, const char* from, const char* to) {
    Descriptor from_folder, to_folder;
    std::string from_name, to_name;
    if (!open_parent_below(base, from, from_folder, from_name) ||
        !open_parent_below(base, to, to_folder, to_name)) {
        return false;
    }
    struct stat st {};
    if (::fstatat(from_folder.get(), from_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode)) {
        return false;
    }
    // RENAME_NOREPLACE: a name that appeared at `to` meanwhile is never replaced.
    return ::renameat2(from_folder.get(), from_name.c_str(), to_folder.get(), to_name.c_str(),
                       RENAME_NOREPLACE) == 0;
}

bool remove_below(const char* base, const char* relative) {
    Descriptor folder;
    std::string last;
    if (!open_parent_below(base, relative, folder, last)) return false;
    struct stat st {};
    if (::fstatat(folder.get(), last.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    return ::unlinkat(folder.get(), last.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) == 0;
}

size_t NewFile::write(const void* data, size_t count) {
    const auto* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (handle_ != kNone && done < count) {
        const ssize_t n = ::write(static_cast<int>(handle_), p + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool NewFile::flush() { return handle_ != kNone && ::fdatasync(static_cast<int>(handle_)) == 0; }

bool NewFile::finish(uint32_t dos_date_time, uint32_t attributes) {
    if (handle_ == kNone) return false;
    const int fd = static_cast<int>(handle_);
    // Set through the descriptor that wrote the file. Failures are not the entry's: its
    // data is whole.
    bool ok = false;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // last access stays as it is
    times[1] = dos_time_to_timespec(dos_date_time, ok);
    if (ok) ::futimens(fd, times);
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        // Only read-only has an effect here: it takes the write permission away.
        const mode_t mode = st.st_mode & 07777;
        ::fchmod(fd, (attributes & 0x01) ? (mode & static_cast<mode_t>(~0222)) : (mode | S_IWUSR));
    }
    return close();
}

bool NewFile::close() {
    if (handle_ == kNone) return true;
    const int fd = static_cast<int>(handle_);
    handle_ = kNone;
    return ::close(fd) == 0;
}

NewFile create_file_below(const char* base, const char* relative) {
    NewFile file;
    Descriptor folder;
    std::string last;
    if (!open_parent_below(base, relative, folder, last)) return file;
    // O_EXCL with O_CREAT refuses any name that exists, a dangling link included.
    const int fd = ::openat(folder.get(), last.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) file.handle_ = fd;
    return file;
}

int64_t read_file_below(const char* base, const char* relative, void* buffer, size_t capacity) {
    Descriptor folder;
    std::string last;
    if (!open_parent_below(base, relative, folder, last)) return -1;
    Descriptor file(::openat(folder.get(), last.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    size_t done = 0;
    while (done < capacity) {
        const ssize_t n = ::read(file.get(), static_cast<uint8_t*>(buffer) + done, capacity - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool free_space(const char* path, uint64_t& bytes) {
    std::string p = native(path);
    for (;;) {
        struct statvfs vfs {};
        if (!p.empty() && ::statvfs(p.c_str(), &vfs) == 0) {
            bytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
            return true;
        }
        const size_t slash = p.find_last_of('/');
        if (p == "/" || slash == std::string::npos) return false;
        p.erase(slash == 0 ? 1 : slash);  // the folder above (a trailing '/' goes first)
    }
}

bool is_terminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

void to_installer_separators(char* path) {
    for (char* p = path; *p != '\0'; ++p) {
        if (*p == '/') *p = '\\';
    }
}

}  // namespace qarn::platform
