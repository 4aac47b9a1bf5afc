// The target folder as an installation changes it: every look, folder, file, move and
// removal of a run goes through one of these, below the folder the user chose and never
// through a link there (platform/platform.h says how). Tests put a subclass in its place
// to make any one of the calls fail.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace qarn {

class TargetFolder {
public:
    // `base`: the folder with its trailing '\'; it must outlive this object.
    explicit TargetFolder(const char* base) : base_(base) {}
    TargetFolder(const TargetFolder&) = delete;
    TargetFolder& operator=(const TargetFolder&) = delete;

    const char* base() const { return base_; }

    virtual platform::Found look(const char* relative);
    virtual bool make_folder(const char* relative);
    virtual bool move_file(const char* from, const char* to);
    virtual bool remove(const char* relative);
    virtual platform::NewFile create_file(const char* relative);
    virtual size_t write(platform::NewFile& file, const void* data, size_t count);
    virtual bool flush(platform::NewFile& file);
    virtual bool finish(platform::NewFile& file, uint32_t dos_date_time, uint32_t attributes);
    virtual int64_t read_file(const char* relative, void* buffer, size_t capacity);

protected:
    ~TargetFolder() = default;

private:
    const char* base_;
};

// The folder as the system has it, with nothing in the way.
class PlainTargetFolder final : public TargetFolder {
public:
    using TargetFolder::TargetFolder;
};

}  // namespace qarn
