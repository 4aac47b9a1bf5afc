#include "tools/file_streams.h"

#include <utility>

namespace qarn::tools {

FileEntryInput::FileEntryInput(const std::filesystem::path& path,
                               std::function<void(uint64_t)> on_read)
    : in_(path, std::ios::binary), on_read_(std::move(on_read)) {}

int64_t FileEntryInput::read(uint8_t* dst, size_t count) {
    if (!in_.is_open() || in_.bad()) return -1;
    in_.read(reinterpret_cast<char*>(dst), static_cast<std::streamsize>(count));
    if (in_.bad()) return -1;
    const auto got = static_cast<int64_t>(in_.gcount());
    if (got > 0 && on_read_) on_read_(static_cast<uint64_t>(got));
    return got;
}

bool FileEntryInput::rewind() {
    in_.clear();
    in_.seekg(0);
    return !in_.fail();
}

FileArchiveOutput::FileArchiveOutput(const std::filesystem::path& path)
    : out_(path, std::ios::binary | std::ios::trunc) {}

bool FileArchiveOutput::write(const uint8_t* src, size_t count) {
    out_.write(reinterpret_cast<const char*>(src), static_cast<std::streamsize>(count));
    return out_.good();
}

bool FileArchiveOutput::seek(uint64_t offset) {
    out_.seekp(static_cast<std::streamoff>(offset));
    return out_.good();
}

bool FileArchiveOutput::flush() {
    out_.flush();
    return out_.good();
}

bool FileArchiveOutput::close() {
    out_.flush();
    const bool ok = out_.good();
    out_.close();
    return ok && !out_.fail();
}

}  // namespace qarn::tools
