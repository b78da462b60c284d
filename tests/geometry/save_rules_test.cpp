// What replacing a file keeps, through the writers' one way to write
// (AtomicFile): Mesh::savePob for its true/false contract, writeFileAtomically
// for the message the tool and the viewer print.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "gloam/platform/files.h"
#include "tests/support/bitmap_support.h"
#include "tests/support/mesh_support.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

constexpr auto rw = fs::perms::owner_read | fs::perms::owner_write;

struct Row {
    fs::perms mode;       // of the old file, which holds "old"
    bool link;            // written to through a symbolic link beside its folder
    bool lockedFolder;    // in a folder nobody may write (but the superuser)
    const char* refusal;  // the message after the file's name; "" to replace it
} const rows[] = {
    {rw, false, false, ""},
    {fs::perms::owner_read | fs::perms::others_read, false, false, "is read-only, so it was not"},
#ifndef _WIN32
    {rw | fs::perms::group_read, true, false, ""},
    {fs::perms::all, false, true, "cannot write in its folder "},
#endif
};

// Every row that applies to this user, each in a folder of its own: what
// went wrong, one line each, or nothing.
std::string runRows(const fs::path& dir, bool plainUser) {
    std::ostringstream wrong;
    const auto mesh = meshOf({blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0)}, {{0, 1, 2}});
    for (const Row& row : rows) {
        if (row.lockedFolder && !plainUser) continue;
        const fs::path folder = dir / (std::to_string(&row - rows) + (plainUser ? "plain" : ""));
        const fs::path real = folder / "real" / "old.pob", file = row.link ? folder / "link" : real;
        fs::create_directories(folder / "real");
        std::ofstream(real, std::ios::binary) << "old";
        fs::permissions(real, row.mode);
        if (row.link) fs::create_symlink("real/old.pob", file);
        if (row.lockedFolder)
            fs::permissions(folder / "real", fs::perms::owner_read | fs::perms::owner_exec);

        const bool replace = !*row.refusal;
        const bool saved = mesh->savePob(file.string().c_str());
        gloam::FileError error;
        const bool written = gloam::writeFileAtomically(file.string().c_str(), "new", 3, error);
        const auto expect = [&](bool ok, const std::string& what) {
            if (!ok) wrong << folder.filename().string() << ": " << what << "\n";
        };
        expect(saved == replace && written == replace, "replaced or not: " + error.message());
        expect(textOf(file) == (replace ? "new" : "old"), "content " + textOf(file));
        const std::string folderNamed = row.lockedFolder ? (folder / "real").string() + ": " : "";
        expect(replace
                   ? error.reason.empty()
                   : error.message().starts_with(file.string() + ": " + row.refusal + folderNamed),
               error.message());
#ifndef _WIN32
        expect(fs::status(file).permissions() == row.mode, "permission bits");
#endif
        expect(fs::is_symlink(file) == row.link, "the link stays");
        // Writable again, or Windows will not remove them.
        fs::permissions(folder / "real", fs::perms::owner_all, fs::perm_options::add);
        fs::permissions(real, fs::perms::owner_write, fs::perm_options::add);
    }
    return wrong.str();
}

TEST(SaveRules, ReplacingAFileKeepsWhatItsOwnerSetUp) {
    const fs::path dir = bitmaptest::scratchDirectory("save_rules");
#ifdef _WIN32
    const bool superuser = false;
#else
    const bool superuser = geteuid() == 0;
#endif
    EXPECT_EQ(runRows(dir, !superuser), "");
#ifndef _WIN32
    if (superuser) {
        // Once more as a plain user, in a child that gives up the rights
        // and leaves what went wrong in a file, then "end".
        fs::permissions(dir, fs::perms::all);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool plain =
                setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
            std::ofstream(dir / "plain.txt")
                << (plain ? runRows(dir, true) : "superuser\n") << "end";
            _exit(0);
        }
        waitpid(child, nullptr, 0);
        EXPECT_EQ(textOf(dir / "plain.txt"), "end");
    }
#endif
    fs::remove_all(dir);
}

}  // namespace
