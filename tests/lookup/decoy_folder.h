#pragma once

#include "dream_lookup.h"
#include "dream_query.h"
#include "test_database.h"

#include <gtest/gtest.h>

#include <string>

namespace somnara::test {

// A folder of its own, made the current one, holding smra.mdb with the decoy rows, and the
// query the window starts with, not yet open.
class DecoyFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeDreamDatabase(dir / "smra.mdb", decoyRows());
        query.setConnectionString(std::string(kConnectionString));
        query.setSql(std::string(kStartStatement));
    }

    TempDir dir;
    CurrentDir cwd{dir.path()};
    DreamQuery query;
};

} // namespace somnara::test
