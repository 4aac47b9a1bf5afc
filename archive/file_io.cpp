#include "archive/file_io.h"

#include "platform/platform.h"

namespace qarn {

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        f_ = other.f_;
        other.f_ = nullptr;
    }
    return *this;
}

bool File::close() {
    if (f_ == nullptr) return true;
    const bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    return ok;
}

File open_shared(const char* path, const char* mode, int sharing) {
    return File(platform::open_file_shared(path, mode, sharing));
}

bool make_unbuffered(File& file) {
    return file && std::setvbuf(file.get(), nullptr, _IONBF, 0) == 0;
}

size_t read_bytes(File& file, void* buffer, size_t count) {
    if (!file || count == 0) return 0;
    return std::fread(buffer, 1, count, file.get());
}

size_t write_bytes(File* file, const void* buffer, size_t count) {
    if (file == nullptr || !*file || count == 0) return 0;
    return std::fwrite(buffer, 1, count, file->get());
}

bool seek_file(File& file, int64_t offset, int origin) {
    if (!file) return false;
    return platform::seek_stream(file.get(), offset, origin == 0 ? SEEK_SET : SEEK_CUR) == 0;
}

int64_t tell_file(File& file) { return file ? platform::tell_stream(file.get()) : -1; }

}  // namespace qarn
