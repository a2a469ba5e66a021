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

// What a data source is, in a form that a kept phone writes down and makes the source again from.
struct DataRecord {
    enum class Kind {
        Bytes,    // bytes: held in memory
        Pattern,  // size, seed: generated
        File,     // path, size, stamp: a file the phone reads but does not own (a description's
                  // data, a file of a folder-backed storage)
        Stored,   // path, size: a file of the phone's own, holding data a host sent
    };
    Kind kind = Kind::Bytes;
    std::uint64_t size = 0;
    std::uint8_t seed = 0;
    std::wstring path;
    std::uint64_t stamp = 0;  // File: the file's last write time when the source was made, or 0
    std::vector<std::uint8_t> bytes;
};

// Immutable once made: streams and snapshots share it with the phone.
class DataSource {
public:
    virtual ~DataSource() = default;
    virtual std::uint64_t Size() const = 0;
    virtual HRESULT OpenReader(std::unique_ptr<DataReader> *reader) const = 0;
    virtual DataRecord Describe() const = 0;
};

using DataPtr = std::shared_ptr<const DataSource>;

DataPtr BytesData(std::vector<std::uint8_t> bytes);
DataPtr TextData(std::string_view text);
// A local file read when a stream reads it; its size is taken now. Throws std::runtime_error when
// the file cannot be opened.
DataPtr LocalFileData(const std::wstring &path);
// size bytes of PatternByte(offset, seed): a 5 GiB object costs no disk.
DataPtr PatternData(std::uint64_t size, std::uint8_t seed = 0);
// A file whose size (and last write time, or 0) is known: it is opened when a stream reads it.
DataPtr FileData(const std::wstring &path, std::uint64_t size, std::uint64_t stamp = 0);
// A file of the phone's own, holding data a host sent; the phone's store removes it with its object.
DataPtr StoredFileData(const std::wstring &path, std::uint64_t size);
// The source a record describes.
DataPtr DataFromRecord(const DataRecord &record);

// A path of this computer as the file functions take it beyond MAX_PATH characters too: a full path
// longer than that gets the \\?\ prefix.
std::wstring ExtendedPath(const std::wstring &path);

// The generated pattern: period 251, so that it never lines up with a power-of-two chunk.
constexpr std::uint8_t PatternByte(std::uint64_t offset, std::uint8_t seed) {
    return static_cast<std::uint8_t>((offset + seed) % 251);
}

// The whole content, for assertions on small objects.
HRESULT ReadAll(const DataSource &source, std::vector<std::uint8_t> *bytes);

}  // namespace vphone
