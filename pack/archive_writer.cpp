#include "pack/archive_writer.h"

#include <cstring>

#include "archive/archive_context.h"

namespace qarn {
namespace {

constexpr size_t kCopyBuffer = 1u << 16;

// Reads an entry through, keeping its CRC-32 and the count of bytes delivered.
class CheckedInput final : public PackSource {
public:
    CheckedInput(EntryInput& in, const Crc32Table& table) : in_(in), table_(table) {}
    int64_t read(uint8_t* dst, size_t count) override {
        const int64_t got = in_.read(dst, count);
        if (got > 0) {
            crc_ = crc32_update(table_, crc_, dst, static_cast<size_t>(got));
            delivered_ += static_cast<uint64_t>(got);
        }
        return got;
    }
    uint32_t crc() const { return ~crc_; }
    uint64_t delivered() const { return delivered_; }

private:
    EntryInput& in_;
    const Crc32Table& table_;
    uint32_t crc_ = 0xFFFFFFFFu;
    uint64_t delivered_ = 0;
};

class OutputSink final : public PackSink {
public:
    OutputSink(ArchiveOutput& out, uint64_t& pos) : out_(out), pos_(pos) {}
    bool write(const uint8_t* src, size_t count) override {
        if (!out_.write(src, count)) return false;
        pos_ += count;
        return true;
    }

private:
    ArchiveOutput& out_;
    uint64_t& pos_;
};

// True when the input has nothing beyond the size it announced.
bool at_end(PackSource& in) {
    uint8_t extra;
    return in.read(&extra, 1) == 0;
}

}  // namespace

MainHeader archive_main_header() {
    MainHeader h{};
    h.head_type = kMainHeadType;
    h.head_flags = kMainFlagSolid;
    h.head_size = kMainHeaderBytes;
    h.reserved2 = kEndMarkPromise;  // every archive this writer makes ends with its mark
    uint8_t raw[kMainHeaderBytes];
    encode_main_header(h, raw);
    Crc32Table table;
    build_crc32_table(table);
    seal_header(table, raw, kMainHeaderBytes);
    decode_main_header(raw, h);
    return h;
}

PackStatus ArchiveWriter::put(const uint8_t* data, size_t count) {
    if (!out_->write(data, count)) return PackStatus::kWriteError;
    pos_ += count;
    return PackStatus::kOk;
}

PackStatus ArchiveWriter::begin(ArchiveOutput& out, uint64_t offset, int level, uint32_t threads) {
    out_ = &out;
    pos_ = offset;
    level_ = level;
    build_crc32_table(crc_table_);
    const PackStatus init = encoder_.init(level, threads);
    if (init != PackStatus::kOk) return init;
    uint8_t head[kMarkerBytes + kMainHeaderBytes] = {};
    std::memcpy(head, kMarker, kMarkerBytes);
    encode_main_header(archive_main_header(), head + kMarkerBytes);
    return put(head, sizeof head);
}

PackStatus ArchiveWriter::store(EntryInput& input, uint64_t size, uint32_t& crc) {
    if (!input.rewind()) return PackStatus::kReadError;
    CheckedInput in(input, crc_table_);
    HeapArray<uint8_t> buffer;
    if (!buffer.allocate(kCopyBuffer)) return PackStatus::kOutOfMemory;
    uint64_t left = size;
    while (left > 0) {
        const size_t want = left < kCopyBuffer ? static_cast<size_t>(left) : kCopyBuffer;
        const int64_t got = in.read(buffer.get(), want);
        if (got < 0) return PackStatus::kReadError;
        if (got == 0) return PackStatus::kSizeChanged;
        const PackStatus written = put(buffer.get(), static_cast<size_t>(got));
        if (written != PackStatus::kOk) return written;
        left -= static_cast<uint64_t>(got);
    }
    if (!at_end(in)) return PackStatus::kSizeChanged;
    crc = in.crc();
    return PackStatus::kOk;
}

PackStatus ArchiveWriter::add_entry(const EntryDescription& entry, EntryInput& input,
                                    EntryOutcome& outcome) {
    outcome = {};
    const size_t name_size = std::strlen(entry.name);
    if (name_size == 0 || name_size >= kPathCapacity || entry.size > 0x7FFFFFFFu) {
        return PackStatus::kBadArgument;
    }
    // The header goes out first with its sizes open; it is written again at the end.
    const uint64_t header_at = pos_;
    uint8_t header[kFileHeaderFixedBytes + kPathCapacity] = {};
    const size_t header_size = kFileHeaderFixedBytes + name_size;
    std::memcpy(header + kFileHeaderFixedBytes, entry.name, name_size);
    PackStatus status = put(header, header_size);
    if (status != PackStatus::kOk) return status;
    const uint64_t data_at = pos_;

    uint8_t method = '0';
    bool solid = false;
    uint32_t crc = 0;
    if (entry.size != 0) {
        CheckedInput in(input, crc_table_);
        OutputSink sink(*out_, pos_);
        EntryPackResult result{};
        status = encoder_.compress_entry(in, entry.size, sink, result);
        if (status == PackStatus::kOk) {
            if (!at_end(in)) return PackStatus::kSizeChanged;
            method = method_for_level(level_);
            solid = result.solid;
            crc = in.crc();
        } else if (status == PackStatus::kNotSmaller) {
            // Less than the entry's size went out: the stored bytes cover all of it.
            if (!out_->seek(data_at)) return PackStatus::kWriteError;
            pos_ = data_at;
            status = store(input, entry.size, crc);
            if (status != PackStatus::kOk) return status;
        } else {
            return status;
        }
    } else if (!at_end(input)) {
        return PackStatus::kSizeChanged;
    }

    const uint64_t packed = pos_ - data_at;
    const uint16_t flags = static_cast<uint16_t>(kFlagHasAddSize | (solid ? kFileFlagSolid : 0) |
                                                 (method != '0' ? kFileFlagWindow1M : 0));
    FileHeader fields{};
    fields.head_type = kFileHeadType;
    fields.head_flags = flags;
    fields.head_size = static_cast<uint16_t>(header_size);
    fields.pack_size = static_cast<int32_t>(packed);
    fields.unp_size = static_cast<int32_t>(entry.size);
    fields.host_os = 2;  // Windows: the attributes are in the Windows form
    fields.file_crc = crc;
    fields.ftime = entry.dos_time;
    fields.unp_ver = 20;  // version 2.0 unpacks it
    fields.method = method;
    fields.name_size = static_cast<uint16_t>(name_size);
    fields.attr = entry.attributes;
    encode_file_header(fields, header);
    seal_header(crc_table_, header, header_size);
    const uint64_t end = pos_;
    if (!out_->seek(header_at) || !out_->write(header, header_size) || !out_->seek(end)) {
        return PackStatus::kWriteError;
    }
    outcome = {packed, crc, method, solid};
    return PackStatus::kOk;
}

PackStatus ArchiveWriter::finish() {
    uint8_t mark[kEndMarkBytes];
    encode_end_mark(crc_table_, mark);
    return put(mark, sizeof mark);
}

}  // namespace qarn
