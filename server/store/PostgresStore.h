#pragma once

#include "store/Store.h"

#include <map>
#include <string>

// The shared store: one PostgreSQL database that several service instances (and the
// operator's commands) use at once. Everything the instances must agree on lives in it:
// counters, online records, sign-ups, password proofs and failed logins.
//
// Date-time columns have the domain datetime, text in the C collation: the canonical text
// form the SQLite store keeps, so ranges are text comparisons and answers are the same to
// the byte. The database itself is the operator's to create (createdb); init fills it.
class PostgresStore : public Store
{
public:
    // uri: any libpq connection URI, "postgresql://user@host:port/dbname?...".
    explicit PostgresStore(std::string uri);

    std::string description() const override { return description_; }
    void createSchema() override;
    void upgradeSchema() override;
    std::unique_ptr<ChangeWatch> watchChanges() override;

    // Result column names PostgreSQL folds to lower case, as the schema spells them.
    static const std::map<std::string, std::string> &columnNames();

protected:
    std::unique_ptr<DatabaseConnection> connect() override;
    void continueIds(DatabaseConnection &connection, const std::string &table) override;
    void stopCounting(DatabaseConnection &connection) override;

private:
    std::string uri_;
    std::string description_;
};
