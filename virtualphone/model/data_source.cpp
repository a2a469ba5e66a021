#include "virtualphone/model/data_source.h"

#include "win/unique_any.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace vphone {
namespace {

// Bytes that stay in memory: small objects, thumbnails, playlist text.
class BytesSource final : public DataSource {
public:
    explicit BytesSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    HRESULT OpenReader(std::unique_ptr<DataReader> *reader) const override {
        *reader = std::make_unique<Reader>(bytes_);
        return S_OK;
    }
    DataRecord Describe() const override {
        DataRecord record;
        record.size = bytes_.size();
        record.bytes = bytes_;
        return record;
    }

private:
    class Reader final : public DataReader {
    public:
        explicit Reader(const std::vector<std::uint8_t> &bytes) : bytes_(bytes) {}
        HRESULT Read(std::uint64_t offset, void *buffer, ULONG count, ULONG *read) override {
            const std::uint64_t left = offset < bytes_.size() ? bytes_.size() - offset : 0;
            *read = static_cast<ULONG>(std::min<std::uint64_t>(left, count));
            if (*read) std::memcpy(buffer, bytes_.data() + offset, *read);
            return S_OK;
        }

    private:
        const std::vector<std::uint8_t> &bytes_;  // whoever reads holds the source
    };
    std::vector<std::uint8_t> bytes_;
};

class PatternSource final : public DataSource {
public:
    PatternSource(std::uint64_t size, std::uint8_t seed) : size_(size), seed_(seed) {}
    std::uint64_t Size() const override { return size_; }
    HRESULT OpenReader(std::unique_ptr<DataReader> *reader) const override {
        *reader = std::make_unique<Reader>(size_, seed_);
        return S_OK;
    }
    DataRecord Describe() const override {
        DataRecord record;
        record.kind = DataRecord::Kind::Pattern;
        record.size = size_;
        record.seed = seed_;
        return record;
    }

private:
    class Reader final : public DataReader {
    public:
        Reader(std::uint64_t size, std::uint8_t seed) : size_(size) {
            // Whole periods in a block that memcpy can serve from any phase.
            for (std::size_t i = 0; i < period_.size(); ++i) period_[i] = PatternByte(i, seed);
        }
        HRESULT Read(std::uint64_t offset, void *buffer, ULONG count, ULONG *read) override {
            const std::uint64_t left = offset < size_ ? size_ - offset : 0;
            *read = static_cast<ULONG>(std::min<std::uint64_t>(left, count));
            auto *out = static_cast<std::uint8_t *>(buffer);
            for (ULONG done = 0; done < *read;) {
                const std::size_t phase = (offset + done) % 251;
                const ULONG piece = static_cast<ULONG>(std::min<std::uint64_t>(kBlock - phase, *read - done));
                std::memcpy(out + done, period_.data() + phase, piece);
                done += piece;
            }
            return S_OK;
        }

    private:
        static constexpr std::size_t kBlock = 251 * 256;
        std::uint64_t size_;
        std::array<std::uint8_t, kBlock> period_;
    };
    std::uint64_t size_;
    std::uint8_t seed_;
};

class FileReader final : public DataReader {
public:
    explicit FileReader(win::UniqueFileHandle file) : file_(std::move(file)) {}
    HRESULT Read(std::uint64_t offset, void *buffer, ULONG count, ULONG *read) override {
        // Reads go in order almost always; moving the file pointer only when they do not keeps a
        // sequential read to one system call per chunk.
        if (offset != position_) {
            LARGE_INTEGER to{};
            to.QuadPart = static_cast<LONGLONG>(offset);
            if (!SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN)) return HRESULT_FROM_WIN32(GetLastError());
            position_ = offset;
        }
        DWORD got = 0;
        if (!ReadFile(file_.get(), buffer, count, &got, nullptr)) return HRESULT_FROM_WIN32(GetLastError());
        position_ += got;
        *read = got;
        return S_OK;
    }

private:
    win::UniqueFileHandle file_;
    std::uint64_t position_ = 0;
};

HRESULT OpenForReading(const std::wstring &path, win::UniqueFileHandle *file) {
    *file = win::UniqueFileHandle(CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return *file ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

class FileSource final : public DataSource {
public:
    explicit FileSource(DataRecord record) : record_(std::move(record)) {}
    std::uint64_t Size() const override { return record_.size; }
    HRESULT OpenReader(std::unique_ptr<DataReader> *reader) const override {
        win::UniqueFileHandle file;
        const HRESULT hr = OpenForReading(record_.path, &file);
        if (FAILED(hr)) return hr;
        *reader = std::make_unique<FileReader>(std::move(file));
        return S_OK;
    }
    DataRecord Describe() const override { return record_; }

private:
    DataRecord record_;
};

DataPtr FileRecordData(DataRecord::Kind kind, const std::wstring &path, std::uint64_t size, std::uint64_t stamp) {
    DataRecord record;
    record.kind = kind;
    record.path = path;
    record.size = size;
    record.stamp = stamp;
    return std::make_shared<FileSource>(std::move(record));
}

}  // namespace

std::wstring ExtendedPath(const std::wstring &path) {
    if (path.size() < MAX_PATH || path.starts_with(L"\\\\?\\")) return path;
    if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC" + path.substr(1);
    return L"\\\\?\\" + path;
}

DataPtr BytesData(std::vector<std::uint8_t> bytes) { return std::make_shared<BytesSource>(std::move(bytes)); }

DataPtr TextData(std::string_view text) { return BytesData(std::vector<std::uint8_t>(text.begin(), text.end())); }

DataPtr LocalFileData(const std::wstring &path) {
    win::UniqueFileHandle file;
    LARGE_INTEGER size{};
    if (FAILED(OpenForReading(path, &file)) || !GetFileSizeEx(file.get(), &size)) {
        throw std::runtime_error("cannot open the local file for the phone's data");
    }
    return FileData(path, static_cast<std::uint64_t>(size.QuadPart));
}

DataPtr PatternData(std::uint64_t size, std::uint8_t seed) { return std::make_shared<PatternSource>(size, seed); }

DataPtr FileData(const std::wstring &path, std::uint64_t size, std::uint64_t stamp) {
    return FileRecordData(DataRecord::Kind::File, path, size, stamp);
}

DataPtr StoredFileData(const std::wstring &path, std::uint64_t size) {
    return FileRecordData(DataRecord::Kind::Stored, path, size, 0);
}

DataPtr DataFromRecord(const DataRecord &record) {
    switch (record.kind) {
        case DataRecord::Kind::Bytes: return BytesData(record.bytes);
        case DataRecord::Kind::Pattern: return PatternData(record.size, record.seed);
        case DataRecord::Kind::File:
        case DataRecord::Kind::Stored: return FileRecordData(record.kind, record.path, record.size, record.stamp);
    }
    return nullptr;
}

HRESULT ReadAll(const DataSource &source, std::vector<std::uint8_t> *bytes) {
    std::unique_ptr<DataReader> reader;
    HRESULT hr = source.OpenReader(&reader);
    if (FAILED(hr)) return hr;
    bytes->assign(static_cast<std::size_t>(source.Size()), 0);
    std::uint64_t done = 0;
    while (done < bytes->size()) {
        ULONG read = 0;
        const ULONG want = static_cast<ULONG>(std::min<std::uint64_t>(bytes->size() - done, 1u << 20));
        hr = reader->Read(done, bytes->data() + done, want, &read);
        if (FAILED(hr)) return hr;
        if (read == 0) return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
        done += read;
    }
    return S_OK;
}

}  // namespace vphone
