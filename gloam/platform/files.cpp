#include "gloam/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <process.h>

#include "gloam/platform/win32.h"
#else
#include <unistd.h>
#endif

namespace gloam {

std::string FileError::message() const {
    std::string text = file;
    if (line > 0) {
        if (!text.empty()) text += ':';
        text += std::to_string(line) + ':' + std::to_string(column);
    }
    if (!text.empty()) text += ": ";
    return text + reason;
}

std::string systemReason(int errorNumber) { return std::strerror(errorNumber); }

namespace {

#ifdef _WIN32
using FileStatus = struct _stati64;
int statusOf(const char* name, FileStatus& status) { return _stati64(name, &status); }
int statusOf(std::FILE* file, FileStatus& status) { return _fstati64(_fileno(file), &status); }
bool isDirectory(const FileStatus& status) { return (status.st_mode & _S_IFMT) == _S_IFDIR; }
bool isRegular(const FileStatus& status) { return (status.st_mode & _S_IFMT) == _S_IFREG; }
#else
using FileStatus = struct stat;
int statusOf(const char* name, FileStatus& status) { return stat(name, &status); }
int statusOf(std::FILE* file, FileStatus& status) { return fstat(fileno(file), &status); }
bool isDirectory(const FileStatus& status) { return S_ISDIR(status.st_mode); }
bool isRegular(const FileStatus& status) { return S_ISREG(status.st_mode); }
#endif

bool namesDirectory(const char* name) {
    FileStatus status;
    return statusOf(name, status) == 0 && isDirectory(status);
}

}  // namespace

InputFile::~InputFile() {
    if (stream != nullptr) std::fclose(stream);
}

bool InputFile::open(const char* name, std::string& why) {
    stream = std::fopen(name, "rb");
    if (stream == nullptr) {
        // Windows will not open a folder at all and says only "Permission
        // denied".
        const int reason = errno;
        why = namesDirectory(name) ? "is a directory" : "cannot open: " + systemReason(reason);
        return false;
    }
    // Opening a folder for reading succeeds on Linux; its first read fails.
    FileStatus status;
    if (statusOf(stream, status) == 0 && isDirectory(status)) {
        why = "is a directory";
        std::fclose(stream);
        stream = nullptr;
        return false;
    }
    if (statusOf(stream, status) == 0 && isRegular(status) && status.st_size > 0) {
        fileSize = std::int64_t(status.st_size);
    } else {
        // A stream is read only as readSome and read ask, so that a reader
        // never waits for more than it has asked for.
        std::setvbuf(stream, nullptr, _IONBF, 0);
    }
    return true;
}

std::ptrdiff_t InputFile::readSome(void* into, std::size_t capacity) {
    while (true) {
#ifdef _WIN32
        const int got =
            _read(_fileno(stream), into, unsigned(std::min<std::size_t>(capacity, INT_MAX)));
#else
        const ssize_t got = ::read(fileno(stream), into, capacity);
#endif
        if (got >= 0) return std::ptrdiff_t(got);
        if (errno == EINTR) continue;
        readError = errno != 0 ? errno : EIO;
        return -1;
    }
}

std::size_t InputFile::read(void* into, std::size_t size) {
    if (!isStream()) {
        const std::size_t got = std::fread(into, 1, size, stream);
        if (got < size && std::ferror(stream)) readError = errno != 0 ? errno : EIO;
        return got;
    }
    std::size_t got = 0;
    while (got < size) {
        const std::ptrdiff_t n = readSome(static_cast<char*>(into) + got, size - got);
        if (n <= 0) break;
        got += std::size_t(n);
    }
    return got;
}

namespace {

// A new file that no one else can have opened: creation fails rather than
// reuse a name that exists, whatever that file may be.
int createExclusive(const std::string& name) {
#ifdef _WIN32
    return _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

int processId() {
#ifdef _WIN32
    return _getpid();
#else
    return int(getpid());
#endif
}

// Forces the file's data to the disk, so that the rename cannot publish a
// file whose content a crash would still lose.
bool flushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// std::rename does not replace an existing file on Windows.
bool replaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    errno = EACCES;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// The folder a file lies in, as the user would look for it.
std::string folderOf(const std::string& file) {
    const std::size_t slash = file.find_last_of("/\\");
    if (slash == std::string::npos) return "the current folder";
    return slash == 0 ? file.substr(0, 1) : file.substr(0, slash);
}

// The file that a write to `name` must replace: `name` itself, or the file
// its chain of symbolic links ends at (which need not exist yet). Renaming
// over the link itself would turn it into a regular file and leave what it
// points to as it was.
std::string followLinks(std::string name) {
#ifndef _WIN32
    // The limit the system itself puts on a chain of links.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status;
        if (lstat(name.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
        std::string link(std::size_t(status.st_size > 0 ? status.st_size : PATH_MAX), '\0');
        const ssize_t length = readlink(name.c_str(), link.data(), link.size());
        if (length <= 0) break;
        link.resize(std::size_t(length));
        if (link[0] != '/') {
            const std::size_t slash = name.find_last_of('/');
            if (slash != std::string::npos) link = name.substr(0, slash + 1) + link;
        }
        name = std::move(link);
    }
#endif
    return name;
}

// Whether the user may not replace the existing file `name`: it has no write
// permission for anyone, or none for this user; on Windows, the read-only
// attribute.
bool isReadOnly(const std::string& name, const FileStatus& status) {
#ifdef _WIN32
    (void)status;
    const DWORD attributes = GetFileAttributesA(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) != 0 &&
           (errno == EACCES || errno == EPERM);
#endif
}

}  // namespace

AtomicFile::AtomicFile(std::string targetName) : target(std::move(targetName)) {
    failure.file = target;
    if (target.empty()) {
        failWith("no file name");
        return;
    }
    destination = followLinks(target);
    FileStatus old;
    const bool replacing = statusOf(destination.c_str(), old) == 0;
    if (replacing && isDirectory(old)) {
        failWith("is a directory");
        return;
    }
    if (replacing && isReadOnly(destination, old)) {
        failWith("is read-only, so it was not replaced");
        return;
    }
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary =
            destination + ".tmp" + std::to_string(processId()) + "-" + std::to_string(counter++);
        const int descriptor = createExclusive(temporary);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            // The new file is made in the folder: when that fails, the
            // folder is what is in the way, not the file.
            failWith("cannot write in its folder " + folderOf(destination) + ": " +
                     systemReason(errno));
            temporary.clear();
            return;
        }
#ifndef _WIN32
        if (replacing) {
            // The owner first: changing it may clear the set-user-ID bits.
            // Either may be refused (another user's file, a file system
            // without them); the file is then as a new file would be.
            if (old.st_uid != geteuid() || old.st_gid != getegid()) {
                [[maybe_unused]] const int owned = fchown(descriptor, old.st_uid, old.st_gid);
            }
            [[maybe_unused]] const int moded = fchmod(descriptor, old.st_mode & 07777);
        }
#endif
#ifdef _WIN32
        stream = _fdopen(descriptor, "wb");
#else
        stream = fdopen(descriptor, "wb");
#endif
        if (stream == nullptr) {
            fail("cannot write", errno);
#ifdef _WIN32
            _close(descriptor);
#else
            close(descriptor);
#endif
            std::remove(temporary.c_str());
            temporary.clear();
            return;
        }
        // Writers hand over whole buffers; a second buffer would only copy.
        std::setvbuf(stream, nullptr, _IONBF, 0);
        return;
    }
    fail("cannot write", EEXIST);
    temporary.clear();
}

AtomicFile::~AtomicFile() {
    if (stream != nullptr) std::fclose(stream);
    if (!committed && !temporary.empty()) std::remove(temporary.c_str());
}

bool AtomicFile::fail(const char* what, int errorNumber) {
    return failWith(std::string(what) + ": " + systemReason(errorNumber));
}

bool AtomicFile::failWith(std::string reason) {
    if (!failed) {
        failed = true;
        failure.reason = std::move(reason);
    }
    return false;
}

bool AtomicFile::write(const void* data, std::size_t size) {
    if (failed || stream == nullptr) return false;
    if (size > 0 && std::fwrite(data, 1, size, stream) != size) return fail("cannot write", errno);
    return true;
}

bool AtomicFile::commit() {
    if (failed || stream == nullptr) return false;
    bool ok = flushToDisk(stream) || fail("cannot write", errno);
    const int closed = std::fclose(stream);
    stream = nullptr;
    if (closed != 0) ok = fail("cannot write", errno);
    if (!ok) return false;
    if (!replaceFile(temporary, destination)) return fail("cannot replace", errno);
    committed = true;
    return true;
}

bool writeFileAtomically(const char* fileName, const void* data, std::size_t size,
                         FileError& error) {
    AtomicFile file(fileName != nullptr ? fileName : "");
    if (file.write(data, size) && file.commit()) return true;
    error = file.error();
    return false;
}

}  // namespace gloam
