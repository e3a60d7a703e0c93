#pragma once
// The tables of a record store, one logical schema on SQLite and PostgreSQL, made on first use
// and marked with their version. Two processes that start on a new store at once make it once:
// the first holds a lock (SQLite's write lock, a PostgreSQL advisory lock) until its tables are
// committed, and the second then finds them.
//
//   plans       sha256 (key), path, encoding, columns (JSON list), registered_at
//   plan_rows   plan, number (key together), label, mac, state free|claimed|passed, attempt
//   attempts    id, plan, plan_row (NULL when none was claimed), label, started, ended, station,
//               process_id, operator, port, model, mac, firmware_before, firmware_after,
//               result, differs (JSON list), error, fields (JSON), steps (JSON)
//
// Times are ISO 8601 texts with milliseconds and the offset of their zone.
namespace r7730::provision {

class TStoreConnection;

constexpr int kSchemaVersion = 1;

// Makes the tables when the store has none; raises EStoreError for a store that a newer
// program has made (a later version), leaving it untouched.
void PrepareSchema(TStoreConnection& connection);

} // namespace r7730::provision
