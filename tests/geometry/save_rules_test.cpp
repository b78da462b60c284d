// What replacing a file keeps, through the writers' one way to write
// (AtomicFile): Mesh::savePob for its true/false contract, writeFileAtomically
// for the message the tool and the viewer print.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "gloam/geometry/pob_writer.h"
#include "gloam/platform/files.h"
#include "tests/support/bitmap_support.h"
#include "tests/support/mesh_support.h"

namespace {

namespace fs = std::filesystem;

std::string textOf(const fs::path& file) {
    std::ostringstream s;
    s << std::ifstream(file, std::ios::binary).rdbuf();
    return s.str();
}

struct Row {
    const char* name;
    // Makes the file (or link) to write to, holding "old"; returns its path.
    fs::path (*prepare)(const fs::path& dir);
    bool replaced;
    const char* message;  // what the refusal says after the file's name, "" when replaced
    fs::perms modeAfter;  // of the written file, through any link
    bool needsPlainUser;  // the superuser may write anywhere, so only a plain user sees it
};

fs::path oldFile(const fs::path& file, fs::perms mode) {
    std::ofstream(file, std::ios::binary) << "old";
    fs::permissions(file, mode);
    return file;
}

constexpr auto rw = fs::perms::owner_read | fs::perms::owner_write;
constexpr auto r = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;

const Row rows[] = {
    {"private file", [](const fs::path& d) { return oldFile(d / "private.pob", rw); }, true, "", rw,
     false},
    {"read-only file", [](const fs::path& d) { return oldFile(d / "kept.pob", r); }, false,
     "is read-only, so it was not replaced", r, false},
#ifndef _WIN32
    {"symbolic link",
     [](const fs::path& d) {
         fs::create_directory(d / "real");
         oldFile(d / "real" / "mesh.pob", rw | fs::perms::group_read);
         fs::create_symlink("real/mesh.pob", d / "link.pob");
         return d / "link.pob";
     },
     true, "", rw | fs::perms::group_read, false},
    {"folder nobody may write",
     [](const fs::path& d) {
         fs::create_directory(d / "locked");
         const fs::path file = oldFile(d / "locked" / "open.pob", fs::perms::all);
         fs::permissions(d / "locked", fs::perms::owner_read | fs::perms::owner_exec);
         return file;
     },
     false, "cannot write in its folder ", fs::perms::all, true},
#endif
};

// Every row that applies to this user, in a folder of its own; what went
// wrong, one line each, or nothing.
std::string runRows(const fs::path& dir, bool plainUser) {
    std::ostringstream wrong;
    const auto mesh = meshOf({blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0)}, {{0, 1, 2}});
    const std::string saved = formatPob(*mesh);
    for (const Row& row : rows) {
        if (row.needsPlainUser && !plainUser) continue;
        const fs::path folder = dir / (std::string(row.name) + (plainUser ? " plain" : ""));
        fs::create_directory(folder);
        const fs::path file = row.prepare(folder);
        const std::string name = file.string();
        const bool pob = mesh->savePob(name.c_str());
        const std::string afterPob = textOf(file);
        gloam::FileError error;
        const bool bytes = gloam::writeFileAtomically(name.c_str(), "new", 3, error);
        const auto expect = [&](bool ok, const std::string& what) {
            if (!ok)
                wrong << row.name << (plainUser ? " (plain user)" : "") << ": " << what << "\n";
        };
        expect(pob == row.replaced && afterPob == (row.replaced ? saved : "old"), "savePob");
        expect(bytes == row.replaced && textOf(file) == (row.replaced ? "new" : "old"),
               "writeFileAtomically: " + error.message());
        expect(row.replaced || error.message().rfind(name + ": " + row.message, 0) == 0,
               "message: " + error.message());
#ifndef _WIN32
        expect(fs::status(file).permissions() == row.modeAfter, "permission bits");
#endif
        const bool link = file.filename() == "link.pob";
        expect(fs::is_symlink(file) == link, "the link stays");
        fs::permissions(file.parent_path(), fs::perms::owner_all, fs::perm_options::add);
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            expect(entry.path().filename().string().find(".tmp") == std::string::npos,
                   "left behind: " + entry.path().string());
        }
    }
    return wrong.str();
}

TEST(SaveRules, ReplacingAFileKeepsWhatItsOwnerSetUp) {
    const fs::path dir = bitmaptest::scratchDirectory("save_rules");
#ifdef _WIN32
    EXPECT_EQ(runRows(dir, true), "");
#else
    const bool superuser = geteuid() == 0;
    EXPECT_EQ(runRows(dir, !superuser), "");
    if (superuser) {
        // Once more as a plain user, in a child that gives up the rights.
        fs::permissions(dir, fs::perms::all);
        int channel[2];
        ASSERT_EQ(pipe(channel), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(channel[0]);
            std::string wrong = "could not become a plain user\n";
            if (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0) {
                wrong = runRows(dir, true);
            }
            const ssize_t sent = write(channel[1], wrong.data(), wrong.size());
            _exit(sent == ssize_t(wrong.size()) ? 0 : 1);
        }
        close(channel[1]);
        std::string wrong;
        char chunk[512];
        for (ssize_t n; (n = read(channel[0], chunk, sizeof chunk)) > 0;) wrong.append(chunk, n);
        close(channel[0]);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(wrong, "");
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
#endif
    fs::remove_all(dir);
}

}  // namespace
