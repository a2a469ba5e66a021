// Where the bytes of an object's data or thumbnail come from. Large data never lives in memory: it is
// read from a file, or generated on the fly.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vphone {

// One reader per open stream; reads at any offset, into the caller's buffer (the only copy).
class DataReader {
public:
    virtual ~DataReader() = default;
    // Copies up to count bytes from offset into buffer; *read is 0 at or past the end.
    virtual HRESULT Read(std::uint64_t offset, void *buffer, ULONG count, ULONG *read) = 0;
};

// Immutable once made: streams and snapshots share it with the phone.
class DataSource {
public:
    virtual ~DataSource() = default;
    virtual std::uint64_t Size() const = 0;
    virtual HRESULT OpenReader(std::unique_ptr<DataReader> *reader) const = 0;
};

using DataPtr = std::shared_ptr<const DataSource>;

DataPtr BytesData(std::vector<std::uint8_t> bytes);
DataPtr TextData(std::string_view text);
// A local file read when a stream reads it; its size is taken now. Throws std::runtime_error when
// the file cannot be opened.
DataPtr LocalFileData(const std::wstring &path);
// size bytes of PatternByte(offset, seed): a 5 GiB object costs no disk.
DataPtr PatternData(std::uint64_t size, std::uint8_t seed = 0);
// A file of the phone's backing folder that goes with the last reference.
DataPtr OwnedFileData(const std::wstring &path, std::uint64_t size);

// The generated pattern: period 251, so that it never lines up with a power-of-two chunk.
constexpr std::uint8_t PatternByte(std::uint64_t offset, std::uint8_t seed) {
    return static_cast<std::uint8_t>((offset + seed) % 251);
}

// The whole content, for assertions on small objects.
HRESULT ReadAll(const DataSource &source, std::vector<std::uint8_t> *bytes);

}  // namespace vphone
