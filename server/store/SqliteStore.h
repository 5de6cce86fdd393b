#pragma once

#include "store/Store.h"

// The embedded store: one SQLite file in WAL mode, for one service process (and the
// operator's commands beside it). Nothing to run or administer.
class SqliteStore : public Store
{
public:
    // Opens an existing database (create = true: creates the file and its directory when
    // they are missing, and makes the file owner-only, new or not).
    explicit SqliteStore(std::string path, bool create = false);

    std::string description() const override { return path_; }
    void createSchema() override;
    void upgradeSchema() override;
    void backupTo(const std::string &file) override;
    std::unique_ptr<ChangeWatch> watchChanges() override;

protected:
    std::unique_ptr<DatabaseConnection> connect() override;

private:
    std::string path_;
};
