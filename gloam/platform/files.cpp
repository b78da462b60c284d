#include "gloam/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
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

}  // namespace

AtomicFile::AtomicFile(std::string targetName) : target(std::move(targetName)) {
    failure.file = target;
    if (target.empty()) {
        failed = true;
        failure.reason = "no file name";
        return;
    }
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + ".tmp" + std::to_string(processId()) + "-" + std::to_string(counter++);
        const int descriptor = createExclusive(temporary);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            fail("cannot write", errno);
            temporary.clear();
            return;
        }
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
    if (!failed) {
        failed = true;
        failure.reason = std::string(what) + ": " + systemReason(errorNumber);
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
    if (!replaceFile(temporary, target)) return fail("cannot replace", errno);
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
