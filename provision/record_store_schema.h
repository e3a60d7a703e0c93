#pragma once
// The tables of a record store, one logical schema on SQLite and PostgreSQL, made on first use
// and marked with their version. Two processes that start on a new store at once make it once:
// the first holds a lock (SQLite's write lock, a PostgreSQL advisory lock) until its tables are
// committed, and the second then finds them.
//
//   plans       sha256 (key), path, encoding, columns (JSON list), registered_at
//   plan_rows   plan, number (key together), label, mac, ip,
//               state free|claimed|passed|reserved|held, attempt, reserved_mac (reserved: the
//               unit that may hold the row's values), fails_after (FAILs of attempts with a
//               higher id count towards holding the row: the last release's newest attempt)
//   attempts    id, plan, plan_row (NULL when none was claimed), label, started, ended, station,
//               process_id, operator, port, model, mac, firmware_before, firmware_after,
//               result, differs (JSON list), error, fields (JSON), steps (JSON), writing (1 once
//               the unit may hold the row's values), taken_back (1 when a claim of a gone
//               holder was closed), holder (the station's instance and boot ID)
//   releases    id, plan, plan_row, label, state and reserved_mac before, released_by,
//               released_at
//
// A store of an earlier version is brought up to this one in place, its records kept.
//
// Times are ISO 8601 texts with milliseconds and the offset of their zone.
namespace r7730::provision {

class TStoreConnection;

constexpr int kSchemaVersion = 2;

// Makes the tables when the store has none, brings an earlier version's up to date; raises EStoreError for a store that a newer
// program has made (a later version), leaving it untouched.
void PrepareSchema(TStoreConnection& connection);

} // namespace r7730::provision
