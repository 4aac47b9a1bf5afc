// The decoder's only contact with the outside: packed bytes come in through a PackedReader,
// unpacked bytes leave through an UnpackedWriter. Both are called once per buffer fill or
// window flush (kilobytes to a megabyte at a time), never per byte.
#pragma once
#include <cstdint>

namespace qarn {

class PackedReader {
public:
    // Copies up to `count` packed bytes to `dst`; returns how many, 0 once the data is used up.
    virtual int32_t read_packed(uint8_t* dst, int32_t count) = 0;

protected:
    ~PackedReader() = default;
};

class UnpackedWriter {
public:
    // Hands on `count` unpacked bytes; returns how many were stored.
    virtual int32_t write_unpacked(const uint8_t* src, int32_t count) = 0;

protected:
    ~UnpackedWriter() = default;
};

}  // namespace qarn
