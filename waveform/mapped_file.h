// MappedFile: a whole file mapped read-only into memory, so that the wave
// database reads samples in disk mode by copying from the mapping instead of
// seeking and reading per window. The operating system pages the file in on
// demand and may drop the pages again; reads need no lock and share no file
// position, so several threads may read at once. The platform's mapping call
// lives in mapped_file_<platform>.cpp.
#pragma once

#include <cstddef>
#include <string>

namespace sint {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;

    // Maps `path`; false (and nothing mapped) when it cannot be opened or mapped.
    bool open(const std::string& path);
    void close();

    bool is_open() const { return data_ != nullptr; }
    const unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace sint
