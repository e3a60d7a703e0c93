#pragma once
// One Qt SQL connection of a record store: opened under a name no other store object shares,
// used by the thread that made it, removed with it. Every statement raises EStoreError with the
// database's own words, and none stays open once it has returned (SQLite cannot commit while a
// statement is still reading).
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QVariantList>
#include <optional>
#include <vector>

#include "provision/record_store_location.h"

namespace r7730::provision {

class TStoreConnection {
public:
    // SQLite: WAL journal, a busy timeout for the other processes of the PC, foreign keys on.
    explicit TStoreConnection(const TStoreLocation& location);
    ~TStoreConnection();
    TStoreConnection(const TStoreConnection&) = delete;
    TStoreConnection& operator=(const TStoreConnection&) = delete;

    TStoreKind Kind() const { return location_.kind; }
    const TStoreLocation& Location() const { return location_; }

    // A statement with "?" for each value; returns how many rows it changed.
    int Execute(const QString& sql, const QVariantList& values = {});
    std::vector<QSqlRecord> Rows(const QString& sql, const QVariantList& values = {});
    std::optional<QSqlRecord> Row(const QString& sql, const QVariantList& values = {});

    // A transaction that writes: BEGIN IMMEDIATE on SQLite, so it waits for the other writers
    // at its start instead of failing halfway; rolled back unless committed.
    class TWriteTransaction {
    public:
        explicit TWriteTransaction(TStoreConnection& connection);
        ~TWriteTransaction();
        void Commit();

    private:
        TStoreConnection& connection_;
        bool ended_ = false;
    };

private:
    // The registered connection, removed however the store object ends (a failed open too).
    struct TRegistration {
        explicit TRegistration(const QString& driver);
        ~TRegistration();
        QString name;
        QSqlDatabase database;
    };

    template <typename TRead>
    void Run(const QString& sql, const QVariantList& values, TRead&& read);
    void OpenSqlite();
    void OpenPostgres();
    // Puts a SQLite file in WAL mode; false when the file system cannot hold one.
    bool SwitchToWal();

    TStoreLocation location_;
    TRegistration registration_;
};

// The text of an empty value that a NOT NULL column takes (a null QString binds as NULL).
QVariant TextValue(const QString& text);

} // namespace r7730::provision
