// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two kinds of archive every archive test runs on: an SQLite file in a scratch folder and a
// database on the tests' own PostgreSQL server.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "archive/sql_connection.h"

namespace npt::test {

// "sqlite" and "postgresql", as the tests' names show them.
inline constexpr const char* kBackends[] = {"sqlite", "postgresql"};

// A location for a new empty archive of the backend; empty, with the reason in whyNot, when the
// backend cannot be had here (no PostgreSQL programs).
std::string freshArchiveLocation(const std::string& backend, std::string& whyNot);

// A connection of the archive's own driver to the location, for what the tests do behind the
// archive's back (changing a night's bytes, another program's tables, a newer version).
std::unique_ptr<archive::SqlConnection> rawConnection(const std::string& location);

// A test run once per backend, with a fresh location for its archive; skipped, saying why,
// where the backend cannot be had.
class BackendTest : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        std::string whyNot;
        location_ = freshArchiveLocation(GetParam(), whyNot);
        if (location_.empty()) {
            GTEST_SKIP() << whyNot;
        }
    }
    std::string location_;
};

}  // namespace npt::test
