#include "archive/file_io.h"

#include "platform/platform.h"

namespace qarn {
namespace {
int64_t g_write_budget = -1;  // < 0: no injected fault
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        f_ = other.f_;
        other.f_ = nullptr;
    }
    return *this;
}

void File::close() {
    if (f_ != nullptr) {
        std::fclose(f_);
        f_ = nullptr;
    }
}

File open_shared(const char* path, const char* mode, int sharing) {
    return File(platform::open_file_shared(path, mode, sharing));
}

void close_file(File& file) { file.close(); }

size_t read_bytes(File& file, void* buffer, size_t count) {
    if (!file || count == 0) return 0;
    return std::fread(buffer, 1, count, file.get());
}

size_t write_bytes(File* file, const void* buffer, size_t count) {
    if (file == nullptr || !*file || count == 0) return 0;
    if (g_write_budget >= 0) {
        if (static_cast<uint64_t>(g_write_budget) < count) count = static_cast<size_t>(g_write_budget);
        g_write_budget -= static_cast<int64_t>(count);
        if (count == 0) return 0;
    }
    return std::fwrite(buffer, 1, count, file->get());
}

bool seek_file(File& file, int64_t offset, int origin) {
    if (!file) return false;
    return platform::seek_stream(file.get(), offset, origin == 0 ? SEEK_SET : SEEK_CUR) == 0;
}

int64_t tell_file(File& file) { return file ? platform::tell_stream(file.get()) : -1; }

void inject_write_limit(int64_t bytes) { g_write_budget = bytes; }

}  // namespace qarn
