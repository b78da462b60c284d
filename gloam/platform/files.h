#pragma once

// Files as every reader and writer of the engine treats them: a failure says
// which file, where in it and why; a write replaces the old file whole or not
// at all.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace gloam {

// Why a file could not be read or written. `line` and `column` (both from 1)
// place the fault in a text file; they are 0 for faults that have no place
// in the text (a file that cannot be opened, a binary header field).
struct FileError {
    std::string file;
    std::int64_t line = 0;
    std::int64_t column = 0;
    std::string reason;

    // "table.pob:3:14: expected a number", or "doorbands.bmp: 32 bits per
    // pixel; ..." without a place; the file name is left out when empty.
    std::string message() const;
};

// The text the C library gives for an errno value.
std::string systemReason(int errorNumber);

// A file opened for reading as every reader of the engine opens one. A
// regular file that tells its size is read in large pieces and its size
// bounds what its header may announce; anything else (a pipe fed by another
// program, a device such as /dev/zero, a file of /proc that says it is
// empty) is a stream, read as it arrives in bounded pieces, so that its
// reader can refuse it at the first wrong byte instead of waiting for an end
// that may never come.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False, with the reason in `why`, when the file cannot be opened or is
    // a directory ("is a directory", "cannot open: No such file or
    // directory").
    bool open(const char* name, std::string& why);

    std::FILE* file() const { return stream; }
    // The size of a regular file that is not empty; -1 for a stream.
    std::int64_t size() const { return fileSize; }
    bool isStream() const { return fileSize < 0; }

    // What has arrived, at most `capacity` bytes, waiting only until
    // something has: what a reader that judges a stream as it comes reads
    // with. 0 at the end of the file, -1 when reading failed (errno says
    // why).
    std::ptrdiff_t readSome(void* into, std::size_t capacity);
    // All `size` bytes unless the file ends or reading fails first; the
    // count read. After a short count, failed() tells the two apart.
    std::size_t read(void* into, std::size_t size);
    bool failed() const { return readError != 0; }
    // The system's error number of the failed read.
    int error() const { return readError; }

private:
    std::FILE* stream = nullptr;
    std::int64_t fileSize = -1;
    int readError = 0;
};

// Writes a file so that it appears complete or not at all. The bytes go to a
// new temporary file beside the target (same folder, so the final rename
// stays on one file system); commit() forces them to the disk and renames the
// temporary over the target in one step. Until then, and whenever anything
// fails, the old file is left as it was, and the temporary file is removed
// when the writer goes out of scope uncommitted.
//
// Replacing a file keeps what its owner set up: the new file gets the old
// one's permission bits (and owner, where the system allows it). A file the
// user may not write, or one without any write permission (which even the
// superuser is held to here), is refused as read-only and left as it is;
// on Windows, a file with the read-only attribute. A symbolic link is
// written through: the file it leads to is replaced, still atomically, and
// the link stays. When the folder is what stops the write, the message
// names the folder.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False when the temporary could not be created; error() says why.
    bool isOpen() const { return stream != nullptr; }
    // The unbuffered stream to write to, or null when not open.
    std::FILE* file() const { return stream; }
    // Writes all of it, or records the failure; false once anything failed.
    bool write(const void* data, std::size_t size);
    // Makes the new content the target's; false, with the old file intact,
    // when anything on the way failed.
    bool commit();
    // Why the last step failed, as "target: reason"; empty while all is well.
    const FileError& error() const { return failure; }

private:
    bool fail(const char* what, int errorNumber);
    bool failWith(std::string reason);

    std::string target;
    std::string destination;  // the target, or the file its links lead to
    std::string temporary;
    std::FILE* stream = nullptr;
    bool failed = false;
    bool committed = false;
    FileError failure;
};

// Writes `size` bytes to `fileName` through an AtomicFile. False, with the
// reason in `error` and any old file untouched, when that fails.
bool writeFileAtomically(const char* fileName, const void* data, std::size_t size,
                         FileError& error);

}  // namespace gloam
