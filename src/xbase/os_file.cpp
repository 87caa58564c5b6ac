#include "xbase/os_file.h"

#include "xbase/error.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xbase {

namespace {
[[noreturn]] void throwErrno(const std::string& path, const char* what) {
    int e = errno;
    Error::Code code = e == ENOENT ? Error::Code::NotFound : Error::Code::Io;
    throw Error(code, path + ": " + what + ": " + std::strerror(e));
}
} // namespace

OsFile::OsFile(OsFile&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

OsFile& OsFile::operator=(OsFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

OsFile::~OsFile() { close(); }

void OsFile::open(const std::string& path, bool readOnly, Lock lock) {
    close();
    path_ = path;
    int fd = ::open(path.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            throw Error(Error::Code::NotFound, path + ": no such file");
        throwErrno(path, "cannot open");
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw Error(Error::Code::Io, path + ": is a directory");
    }
    fd_ = fd;
    try {
        this->lock(lock);
    } catch (...) {
        close();
        throw;
    }
}

void OsFile::lock(Lock lock) {
    if (lock == Lock::None)
        return;
    // flock locks belong to the open file description, so a second open in
    // this same process is refused too, as it would be from another.
    int op = (lock == Lock::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    if (::flock(fd_, op) != 0) {
        if (errno == EWOULDBLOCK)
            throw Error(Error::Code::Locked, path_ + " is in use by another process");
        throwErrno(path_, "cannot lock");
    }
}

void OsFile::copyModeFrom(const OsFile& other) {
    struct stat st {};
    if (::fstat(other.fd_, &st) != 0)
        throwErrno(other.path_, "cannot read the file's permissions");
    if (::fchmod(fd_, st.st_mode & 07777) != 0)
        throwErrno(path_, "cannot set the file's permissions");
}

void OsFile::renameTo(const std::string& to) {
    if (::rename(path_.c_str(), to.c_str()) != 0)
        throwErrno(to, ("cannot replace it by " + path_).c_str());
    path_ = to;
}

void OsFile::create(const std::string& path, bool replace) {
    close();
    path_ = path;
    int flags = O_RDWR | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL);
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            throw Error(Error::Code::Io, path + ": file already exists");
        throwErrno(path, "cannot create");
    }
    fd_ = fd;
}

void OsFile::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

size_t OsFile::readAt(uint64_t offset, void* data, size_t size) const {
    size_t done = 0;
    auto* p = static_cast<uint8_t*>(data);
    while (done < size) {
        ssize_t n = ::pread(fd_, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwErrno(path_, "read failed");
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void OsFile::readExact(uint64_t offset, void* data, size_t size) const {
    if (readAt(offset, data, size) != size)
        throw Error(Error::Code::Corrupt, path_ + ": file ends early (reading " + std::to_string(size) +
                                              " bytes at " + std::to_string(offset) + ")");
}

void OsFile::writeAt(uint64_t offset, const void* data, size_t size) {
    size_t done = 0;
    auto* p = static_cast<const uint8_t*>(data);
    while (done < size) {
        ssize_t n = ::pwrite(fd_, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwErrno(path_, "write failed");
        }
        done += static_cast<size_t>(n);
    }
}

uint64_t OsFile::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        throwErrno(path_, "cannot read the file size");
    return static_cast<uint64_t>(st.st_size);
}

void OsFile::truncate(uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        throwErrno(path_, "cannot change the file size");
}

void OsFile::sync() {
    if (::fdatasync(fd_) != 0)
        throwErrno(path_, "cannot flush");
}

std::string realFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        throwErrno(path, "cannot follow the link");
    std::string out(real);
    std::free(real);
    return out;
}

void syncDirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throwErrno(dir, "cannot open the folder");
    int rc = ::fsync(fd);
    int e = errno;
    ::close(fd);
    if (rc != 0) {
        errno = e;
        throwErrno(dir, "cannot flush the folder");
    }
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {
void splitPath(const std::string& path, std::string& dir, std::string& base, std::string& ext) {
    size_t slash = path.find_last_of('/');
    dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    base = dot == std::string::npos ? name : name.substr(0, dot);
    ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
}
} // namespace

std::string siblingName(const std::string& path, const std::string& ext) {
    std::string dir, base, oldExt;
    splitPath(path, dir, base, oldExt);
    bool lower = !oldExt.empty() ? std::islower(static_cast<unsigned char>(oldExt[0])) != 0
                                 : (!base.empty() && std::islower(static_cast<unsigned char>(base.back())) != 0);
    std::string e = ext;
    for (char& c : e)
        c = lower ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
                  : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return dir + base + "." + e;
}

std::string siblingFile(const std::string& path, const std::string& ext) {
    std::string dir, base, oldExt;
    splitPath(path, dir, base, oldExt);
    std::string exact = dir + base + "." + ext;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return fileExists(exact) ? exact : std::string();
    std::string found;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name.size() != base.size() + 1 + ext.size())
            continue;
        if (strncasecmp(name.c_str(), base.c_str(), base.size()) == 0 && name[base.size()] == '.' &&
            strcasecmp(name.c_str() + base.size() + 1, ext.c_str()) == 0) {
            std::string candidate = dir + name;
            if (!fileExists(candidate))
                continue;
            // Prefer the spelling whose base name matches exactly.
            if (found.empty() || name.compare(0, base.size(), base) == 0)
                found = candidate;
        }
    }
    ::closedir(d);
    return found;
}

} // namespace xbase
