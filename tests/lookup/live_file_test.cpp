// The database file changing under a running program: another process writing it, or the file
// replaced between lookups. Each ends in a clear message or a plain answer, never a hang.
#include "decoy_folder.h"
#include "dream_lookup.h"
#include "dream_query.h"
#include "store_error.h"
#include "test_database.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <tuple>

#include <sys/wait.h>
#include <unistd.h>

using namespace somnara;
using namespace somnara::test;

namespace {

// What a lookup gives: the interpretation shown (nullopt for none), or the error's words.
struct Outcome
{
    std::optional<std::string> shown;
    std::string error;
};

Outcome lookUpOutcome(DreamQuery &query, const std::string &keyword, bool containment)
{
    try {
        lookUp(query, keyword, containment);
        return {contentOf(query), {}};
    } catch (const StoreError &error) {
        EXPECT_FALSE(query.active()) << "a failed lookup left the query open";
        return {std::nullopt, error.what()};
    }
}

// The database_writer program, holding the write lock on a database until finish().
class WritingProcess
{
public:
    WritingProcess(const std::filesystem::path &file, const char *mode)
    {
        int toChild[2];
        int fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(toChild[0], STDIN_FILENO);
            dup2(fromChild[1], STDOUT_FILENO);
            for (const int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]})
                close(fd);
            const std::string path = file.string();
            execl(DATABASE_WRITER, DATABASE_WRITER, path.c_str(), mode, nullptr);
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        m_toChild = toChild[1];
        // The child says "locked" once it holds the lock, or closes its output when it fails.
        std::string said;
        char buffer[64];
        ssize_t got;
        while (said.find('\n') == std::string::npos
               && ((got = read(fromChild[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)))
            if (got > 0)
                said.append(buffer, static_cast<size_t>(got));
        close(fromChild[0]);
        m_locked = said == "locked\n";
    }

    ~WritingProcess() { finish(); }

    bool locked() const { return m_locked; }

    // Ends the writer as a crash would, in the middle of its write.
    void kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        close(m_toChild);
        m_pid = 0;
    }

    // Lets the writer commit and waits for it; true when it committed.
    bool finish()
    {
        if (m_pid <= 0)
            return false;
        close(m_toChild);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = 0;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t m_pid = -1;
    int m_toChild = -1;
    bool m_locked = false;
};

class LockedFile : public DecoyFolderTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(LockedFile, beforeTheFirstConnectionGivesAClearMessageThenTheWritersData)
{
    const bool containment = GetParam();
    WritingProcess writer(dir / "smra.mdb", "rollback");
    ASSERT_TRUE(writer.locked());

    // The busy timeout runs out: the lookup ends, and says why.
    const Outcome locked = lookUpOutcome(query, "猫", containment);
    EXPECT_EQ(locked.shown, std::nullopt);
    EXPECT_NE(locked.error.find("smra.mdb"), std::string::npos) << locked.error;
    EXPECT_NE(locked.error.find("其他程序"), std::string::npos) << locked.error;
    EXPECT_FALSE(query.connected());

    ASSERT_TRUE(writer.finish());
    const Outcome after = lookUpOutcome(query, "猫", containment);
    EXPECT_EQ(after.error, "");
    EXPECT_EQ(after.shown, "写入后的解释");
}

TEST_P(LockedFile, whileConnectedGivesAClearMessageThenTheWritersData)
{
    const bool containment = GetParam();
    query.open();
    ASSERT_EQ(contentOf(query), "父母的解释");
    WritingProcess writer(dir / "smra.mdb", "rollback");
    ASSERT_TRUE(writer.locked());

    const Outcome locked = lookUpOutcome(query, "猫", containment);
    EXPECT_EQ(locked.shown, std::nullopt);
    EXPECT_NE(locked.error.find("其他程序"), std::string::npos) << locked.error;
    EXPECT_TRUE(query.connected());

    ASSERT_TRUE(writer.finish());
    // The page cache must not hide the change the writer committed.
    const Outcome after = lookUpOutcome(query, "猫", containment);
    EXPECT_EQ(after.error, "");
    EXPECT_EQ(after.shown, "写入后的解释");
}

// With write-ahead logging a writer does not block readers: they see the last commit.
TEST_P(LockedFile, inWriteAheadLogModeReadsTheLastCommit)
{
    const bool containment = GetParam();
    query.open();
    WritingProcess writer(dir / "smra.mdb", "wal");
    ASSERT_TRUE(writer.locked());

    const Outcome during = lookUpOutcome(query, "猫", containment);
    EXPECT_EQ(during.error, "");
    EXPECT_EQ(during.shown, "猫的解释");

    ASSERT_TRUE(writer.finish());
    const Outcome after = lookUpOutcome(query, "猫", containment);
    EXPECT_EQ(after.error, "");
    EXPECT_EQ(after.shown, "写入后的解释");
}

// A file kept in write-ahead-log mode is read as it stands while no writer is at work; a writer
// that then comes and goes leaves its commit in the file, and the next lookup sees it.
TEST_P(LockedFile, keptInWriteAheadLogModeReadsTheLastCommit)
{
    const bool containment = GetParam();
    switchToWriteAheadLog(dir / "smra.mdb");
    query.open();
    ASSERT_EQ(contentOf(query), "父母的解释");
    WritingProcess writer(dir / "smra.mdb", "wal");
    ASSERT_TRUE(writer.locked());

    const Outcome during = lookUpOutcome(query, "猫", containment);
    EXPECT_EQ(during.error, "");
    EXPECT_EQ(during.shown, "猫的解释");

    ASSERT_TRUE(writer.finish());
    ASSERT_FALSE(std::filesystem::exists(dir / "smra.mdb-wal")) << "the writer left its log";
    const Outcome after = lookUpOutcome(query, "猫", containment);
    EXPECT_EQ(after.error, "");
    EXPECT_EQ(after.shown, "写入后的解释");
}

INSTANTIATE_TEST_SUITE_P(Modes, LockedFile, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "containment" : "exact"; });

// A writer that crashed after its changes reached the file leaves a journal that only a
// connection allowed to write may roll back: the lookup says so, and leaves the file and the
// journal as they are.
TEST(InterruptedWrite, isToldAndLeftAsItIs)
{
    auto rows = decoyRows();
    for (int i = 0; i < 2000; ++i)
        rows.push_back({"填充" + std::to_string(i), std::string(300, 'x')});
    for (const bool connectedFirst : {false, true}) {
        TempDir dir;
        CurrentDir cwd(dir.path());
        writeDreamDatabase(dir / "smra.mdb", rows);
        DreamQuery query;
        query.setConnectionString(std::string(kConnectionString));
        if (connectedFirst)
            lookUp(query, "猫", false);
        {
            WritingProcess writer(dir / "smra.mdb", "spill");
            ASSERT_TRUE(writer.locked());
            writer.kill();
        }
        const auto journal = dir / "smra.mdb-journal";
        ASSERT_TRUE(std::filesystem::exists(journal));
        const std::string databaseBytes = readBytes(dir / "smra.mdb");
        const std::string journalBytes = readBytes(journal);

        for (const bool containment : {false, true}) {
            const Outcome outcome = lookUpOutcome(query, "猫", containment);
            EXPECT_EQ(outcome.shown, std::nullopt);
            EXPECT_NE(outcome.error.find("未完成的写入"), std::string::npos) << outcome.error;
            EXPECT_NE(outcome.error.find("smra.mdb"), std::string::npos) << outcome.error;
        }
        EXPECT_EQ(readBytes(dir / "smra.mdb"), databaseBytes) << "connected first " << connectedFirst;
        EXPECT_EQ(readBytes(journal), journalBytes) << "connected first " << connectedFirst;
    }
}

// --- The file replaced between lookups -------------------------------------------------------

void writeBytes(const std::filesystem::path &file, const std::string &bytes)
{
    // In place: the same file, opened and truncated, as a copy over it does.
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string otherDictionary(const TempDir &dir)
{
    // More rows than the decoys, so its header differs from theirs as any real edit's would.
    std::vector<Row> rows{{"猫", "新词典的猫"}};
    for (int i = 0; i < 500; ++i)
        rows.push_back({"新" + std::to_string(i), std::string(200, 'n')});
    writeDreamDatabase(dir / "other.mdb", rows);
    return readBytes(dir / "other.mdb");
}

struct Replacement
{
    const char *name;
    std::function<void(const TempDir &)> replace;
    // The interpretation of 猫 shown afterwards, or, when empty, part of the error message.
    std::optional<std::string> shown;
    const char *errorPart;
};

void PrintTo(const Replacement &replacement, std::ostream *os)
{
    *os << replacement.name;
}

// The second parameter puts the first file in write-ahead-log mode, which is read as it stands.
class ReplacedFile : public ::testing::TestWithParam<std::tuple<Replacement, bool>>
{
};

TEST_P(ReplacedFile, betweenLookupsGivesAnAnswerOrAClearMessage)
{
    const auto &[c, writeAheadLog] = GetParam();
    TempDir dir;
    CurrentDir cwd(dir.path());
    writeDreamDatabase(dir / "smra.mdb", decoyRows());
    if (writeAheadLog)
        switchToWriteAheadLog(dir / "smra.mdb");
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    lookUp(query, "猫", false);
    ASSERT_EQ(contentOf(query), "猫的解释");

    c.replace(dir);
    for (const bool containment : {false, true}) {
        const Outcome outcome = lookUpOutcome(query, "猫", containment);
        EXPECT_EQ(outcome.shown, c.shown) << "containment " << containment;
        if (c.shown)
            EXPECT_EQ(outcome.error, "");
        else
            EXPECT_NE(outcome.error.find(c.errorPart), std::string::npos) << outcome.error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replacements, ReplacedFile,
    ::testing::Combine(::testing::Values(
        // The connection keeps the file it opened: a file renamed over it, or its removal, is
        // seen only by the next start of the program.
        Replacement{"renamedOver",
                    [](const TempDir &dir) {
                        otherDictionary(dir);
                        std::filesystem::rename(dir / "other.mdb", dir / "smra.mdb");
                    },
                    "猫的解释", ""},
        Replacement{"removed",
                    [](const TempDir &dir) { std::filesystem::remove(dir / "smra.mdb"); },
                    "猫的解释", ""},
        // Rewritten in place, the same file shows its new contents at the next lookup.
        Replacement{"rewrittenWithAnotherDictionary",
                    [](const TempDir &dir) { writeBytes(dir / "smra.mdb", otherDictionary(dir)); },
                    "新词典的猫", ""},
        Replacement{"rewrittenWithText",
                    [](const TempDir &dir) { writeBytes(dir / "smra.mdb", std::string(5000, 'x')); },
                    std::nullopt, "不是梦境数据库"},
        Replacement{"emptied",
                    [](const TempDir &dir) { writeBytes(dir / "smra.mdb", ""); },
                    std::nullopt, "不是梦境数据库"},
        Replacement{"cutShort",
                    [](const TempDir &dir) {
                        writeBytes(dir / "smra.mdb", otherDictionary(dir).substr(0, 4096 * 3));
                    },
                    std::nullopt, "malformed"}),
                       ::testing::Bool()),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name)
               + (std::get<1>(info.param) ? "_writeAheadLog" : "_rollbackJournal");
    });

} // namespace
