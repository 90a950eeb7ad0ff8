// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The archive's tables, and the version of their layout: a new archive gets the latest, an
// older one is brought forward step by step in one transaction, a newer one is refused untouched.
//
//   archive_meta     key, value: "format" = "npt-desk archive", "schema_version" = N
//   patients         id, name, name_key (lower case, for finding), number (the clinic's own) and
//                    number_key,
//                    birth_year, age (at the latest night), created_at
//   studies          id, patient_id, created_at, conclusion, doctor, concluded_at
//   nights           id, sha256 (unique: the night's identity), data (the 4481 bytes),
//                    patient_id and study_id (NULL: not identified), name_protected, source
//                    ("recorder" or "file"), source_name, filed_at, date (dd.MM.yy),
//                    night_order ("YYYY-MM-DD HH:MM"), start_minute, period_s, parameters
//   review_changes   id, night_id, kind, episode (its number then), episode_start_s and
//                    episode_end_s (the episode as the analysis found it), start_s, end_s
//                    (the stretch the change sets), doctor, changed_at
//
// Times of filing and changes are UTC, "YYYY-MM-DD HH:MM:SS".
#include "archive/sql_connection.h"

namespace npt::archive {

inline constexpr int kSchemaVersion = 1;

// Makes the tables of an empty database, brings an older archive forward, or throws
// ArchiveError: Newer for an archive of a later version, NotAnArchive for a database that holds
// other tables. name is the archive as the doctor knows it, for messages.
void prepareSchema(SqlConnection& db, const std::string& name, bool mayWrite);

}  // namespace npt::archive
