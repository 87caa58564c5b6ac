// Operating-system file access for the engine: positioned reads and writes,
// size, truncation and the advisory lock that makes an exclusive open
// exclusive between processes. Every failure throws Error naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace xbase {

class OsFile {
public:
    enum class Lock { None, Shared, Exclusive };

    OsFile() = default;
    OsFile(const OsFile&) = delete;
    OsFile& operator=(const OsFile&) = delete;
    OsFile(OsFile&& other) noexcept;
    OsFile& operator=(OsFile&& other) noexcept;
    ~OsFile();

    // Open an existing file. A lock other than None is taken without waiting;
    // when another process holds a conflicting one, throws Error::Locked.
    void open(const std::string& path, bool readOnly, Lock lock = Lock::None);
    // Create a new file; throws when it exists.
    void create(const std::string& path, bool replace = false);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    // Take a lock on the open file (as open() does); throws Error::Locked
    // when another process holds a conflicting one.
    void lock(Lock lock);
    // Give the open file the permission bits of another open file.
    void copyModeFrom(const OsFile& other);
    // Rename the open file to `to` (same directory), replacing any file of
    // that name; the file stays open under its new name.
    void renameTo(const std::string& to);
    const std::string& path() const { return path_; }

    // Reads up to `size` bytes at `offset`; returns the count read (short at
    // the end of the file).
    size_t readAt(uint64_t offset, void* data, size_t size) const;
    // Reads exactly `size` bytes or throws Corrupt ("... ends early").
    void readExact(uint64_t offset, void* data, size_t size) const;
    void writeAt(uint64_t offset, const void* data, size_t size);
    uint64_t size() const;
    void truncate(uint64_t size);
    void sync();

private:
    int fd_ = -1;
    std::string path_;
};

bool fileExists(const std::string& path);
// The file a path names: itself, or what a symbolic link points at (so that
// replacing the file replaces the one the link leads to, not the link).
std::string realFile(const std::string& path);
// Make the directory entries of the folder holding `path` durable (after a
// rename or a new file). Throws Error naming the folder.
void syncDirectoryOf(const std::string& path);
// The file beside `path` with the same base name and extension `ext` (given
// without the dot), matched case-insensitively; "" when there is none.
std::string siblingFile(const std::string& path, const std::string& ext);
// `path` with its extension replaced by `ext` in the letter case of the
// base name's extension (".DBF" -> ".CDX", ".dbf" -> ".cdx").
std::string siblingName(const std::string& path, const std::string& ext);

} // namespace xbase
