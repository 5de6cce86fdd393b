#include "cli/OperatorCommands.h"

#include "cli/DemoData.h"
#include "cli/PasswordInput.h"
#include "cli/ServeCommand.h"
#include "cli/StreamOptions.h"
#include "cli/TerminalText.h"
#include "service/ConfigurationCatalogue.h"
#include "service/PublishDesk.h"
#include "store/CopySource.h"
#include "store/DateTimeText.h"
#include "store/OperatorAccounts.h"
#include "store/Store.h"
#include "store/StoredConfiguration.h"
#include "store/Stream.h"

#include <filesystem>
#include <iostream>
#include <set>

namespace {

const std::set<std::string> flags = {"--demo", "--quiet", "--help"};
const std::set<std::string> valued = {"--db",
                                      "--listen",
                                      "--demo-feed",
                                      "--threads",
                                      "--code",
                                      "--name",
                                      "--op",
                                      "--reason",
                                      "--level",
                                      "--type",
                                      "--text",
                                      "--title",
                                      "--body",
                                      "--time",
                                      "--until",
                                      "--password",
                                      "--password-file",
                                      "--trusted-proxy",
                                      "--max-connections-per-address",
                                      "--from",
                                      "--tls-cert",
                                      "--tls-key",
                                      "--to",
                                      "--admin-listen",
                                      "--log-format",
                                      "--public-url",
                                      "--max-pending-applications",
                                      "--max-streams"};

// The exit status of a copy that left rows out (each named on standard error).
constexpr int copiedWithRowsLeftOut = 3;

std::string option(const OperatorCommands::Arguments &a, const std::string &name,
                   const std::string &fallback = {})
{
    auto it = a.options.find(name);
    return it == a.options.end() ? fallback : it->second;
}

std::string required(const OperatorCommands::Arguments &a, const std::string &name)
{
    auto it = a.options.find(name);
    if (it == a.options.end())
        throw std::runtime_error("missing option " + name);
    return it->second;
}

long long integer(const std::string &text, const std::string &what)
{
    size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used == 0 || used != text.size())
        throw std::runtime_error(what + " must be an integer: " + text);
    return value;
}

// A level that exists (a subscriber's or an item's).
int level(const OperatorCommands::Arguments &a)
{
    long long value = integer(option(a, "--level", std::to_string(Stream::publicLevel)), "--level");
    PublishDesk::checkLevelExists(value);
    return int(value);
}

std::string database(const OperatorCommands::Arguments &a)
{
    return option(a, "--db", OperatorCommands::defaultDatabase());
}

std::string untilDate(const OperatorCommands::Arguments &a)
{
    return option(a, "--until", DateTimeText::midnight(365).substr(0, 10));
}

// A password stands on the command line (a word after the account's name, or --password):
// refused before anything is done, since the process list has shown it already.
void refuseCommandLinePassword(const OperatorCommands::Arguments &a, size_t position)
{
    if (a.words.size() > position || a.options.count("--password"))
        throw std::runtime_error("a password on the command line shows in the process list: give it as one "
                                 "line on standard input or in a file named by --password-file FILE");
}

std::string password(const OperatorCommands::Arguments &a)
{
    auto file = a.options.find("--password-file");
    return PasswordInput::read(file == a.options.end() ? std::nullopt : std::optional(file->second),
                               std::cerr);
}

std::string shown(const std::string &text)
{
    return TerminalText::shown(text);
}

std::vector<std::pair<std::string, std::string>> streamColumns(const Stream &stream,
                                                               const OperatorCommands::Arguments &a)
{
    std::vector<std::pair<std::string, std::string>> columns;
    for (const Stream::Column &column : stream.columns) {
        std::string name = StreamOptions::optionFor(column.name);
        if (a.options.count(name))
            columns.emplace_back(column.name, a.options.at(name));
    }
    return columns;
}

const Stream &streamOf(const OperatorCommands::Arguments &a)
{
    const Stream *stream = a.words.size() < 2 ? nullptr : Stream::named(a.words[1]);
    if (!stream)
        throw std::runtime_error("name a stream: stock, news, insider or secret");
    return *stream;
}

int publish(const OperatorCommands::Arguments &a, std::ostream &out)
{
    const Stream &stream = streamOf(a);
    for (const Stream::Column &column : stream.columns)
        if (column.required)
            required(a, StreamOptions::optionFor(column.name));
    int itemLevel = level(a);
    auto store = Store::open(database(a));
    auto id = PublishDesk(*store).publish(stream, streamColumns(stream, a), itemLevel);
    out << "published " << shown(a.words[1]) << " " << id << "\n";
    return 0;
}

int revise(const OperatorCommands::Arguments &a, std::ostream &out)
{
    const Stream &stream = streamOf(a);
    if (a.words.size() < 3)
        throw std::runtime_error("revise " + a.words[1] + " needs the item's id");
    auto id = integer(a.words[2], "the id");
    std::optional<int> newLevel;
    if (a.options.count("--level"))
        newLevel = level(a);
    auto store = Store::open(database(a));
    PublishDesk(*store).revise(stream, id, streamColumns(stream, a), newLevel);
    out << "revised " << shown(a.words[1]) << " " << id << "\n";
    return 0;
}

void printRows(const std::vector<SqlRow> &rows, std::ostream &out)
{
    for (const SqlRow &row : rows) {
        for (size_t i = 0; i < row.size(); ++i)
            out << (i ? "\t" : "") << shown(sqlValueText(row[i].value));
        out << "\n";
    }
}

int user(const OperatorCommands::Arguments &a, std::ostream &out)
{
    std::string sub = a.words.size() > 1 ? a.words[1] : "";
    if (sub == "add" || sub == "passwd")
        refuseCommandLinePassword(a, 3);
    if (sub == "add")
        level(a); // a wrong level is refused before a password is asked for
    auto store = Store::open(database(a));
    if (sub == "list") {
        out << "id\tusername\tlevel\tpaid until\tlogin time\tlogin address\n";
        printRows(store->listUsers(), out);
        return 0;
    }
    if (a.words.size() < 3)
        throw std::runtime_error("user " + sub + " needs a user name");
    const std::string &name = a.words[2];
    if (sub == "add") {
        auto id = store->addUser(name, password(a), level(a), untilDate(a));
        out << "added user " << shown(name) << " (id " << id << ")\n";
    } else if (sub == "remove") {
        store->removeUser(name);
        out << "removed user " << shown(name) << "\n";
    } else if (sub == "passwd") {
        store->setPassword(name, password(a));
        out << "changed the password of " << shown(name) << "\n";
    } else
        throw std::runtime_error("user: add, list, remove or passwd");
    return 0;
}

int applications(const OperatorCommands::Arguments &a, std::ostream &out)
{
    std::string sub = a.words.size() > 1 ? a.words[1] : "list";
    auto store = Store::open(database(a));
    if (sub == "list") {
        out << "id\tusername\tQQ\tapplied\n";
        printRows(store->listApplications(), out);
        return 0;
    }
    if (sub == "approve" && a.words.size() > 2) {
        auto id = store->approveApplication(a.words[2], level(a), untilDate(a));
        out << "approved " << shown(a.words[2]) << " (id " << id << ")\n";
        return 0;
    }
    if (sub == "reject" && a.words.size() > 2) {
        store->rejectApplication(a.words[2]);
        out << "rejected " << shown(a.words[2]) << "\n";
        return 0;
    }
    throw std::runtime_error("applications: list, approve NAME [--level N] [--until DATE] or reject NAME");
}

// A fresh service must answer the clients' configuration load at once: every setting that
// has no row yet gets its initial value.
void writeInitialConfiguration(Store &store)
{
    StoredConfiguration configuration(store);
    bool systemRow = configuration.hasRow("Sys_pz"), pageRow = configuration.hasRow("Sys_url");
    for (const auto &setting : ConfigurationCatalogue::all()) {
        bool present = std::string(setting.table) == "Sys_pz" ? systemRow : pageRow;
        if (!present)
            configuration.set(setting.table, setting.column,
                              ConfigurationCatalogue::stored(setting, setting.initial));
    }
}

int init(const OperatorCommands::Arguments &a, std::ostream &out)
{
    auto store = Store::open(database(a), true);
    store->createSchema();
    if (a.options.count("--demo")) {
        bool seeded = store->with([](DatabaseConnection &c) {
            return c.scalar("SELECT count(*) FROM UserTable") != SqlValue(0LL);
        });
        if (seeded)
            throw std::runtime_error("the database already holds data; demo data goes into a new one");
        DemoData::seed(*store);
        out << "initialised " << shown(store->description()) << " with demo data\n"
            << "demo accounts (name/password, level): " << DemoData::accountsText() << "\n"
            << "anyone who reads this can sign in with them: remove them (user remove NAME) before the "
               "service faces the internet\n";
        return 0;
    }
    writeInitialConfiguration(*store);
    out << "initialised " << shown(store->description()) << " (settings: config show)\n";
    return 0;
}

int config(const OperatorCommands::Arguments &a, std::ostream &out)
{
    std::string sub = a.words.size() > 1 ? a.words[1] : "show";
    auto store = Store::open(database(a));
    StoredConfiguration configuration(*store);
    if (sub == "show" && a.words.size() <= 2) {
        SqlRow system = configuration.row("Sys_pz"), pages = configuration.row("Sys_url");
        for (const auto &setting : ConfigurationCatalogue::all()) {
            const SqlRow &row = std::string(setting.table) == "Sys_pz" ? system : pages;
            std::optional<std::string> value;
            for (const SqlField &field : row)
                if (field.name == setting.column && !std::holds_alternative<std::monostate>(field.value))
                    value = ConfigurationCatalogue::shown(setting, field.value);
            out << setting.name << " = " << (value ? shown(*value) : "(not set)") << "\n    "
                << setting.meaning << "\n";
        }
        return 0;
    }
    if (sub == "set" && a.words.size() == 4) {
        const auto *setting = ConfigurationCatalogue::named(a.words[2]);
        if (!setting)
            throw std::runtime_error("no setting " + a.words[2] + " (config show lists them)");
        const std::string &value = a.words[3];
        if (auto why = ConfigurationCatalogue::refusal(*setting, value))
            throw std::runtime_error(std::string(setting->name) + " takes " + *why);
        configuration.set(setting->table, setting->column, ConfigurationCatalogue::stored(*setting, value));
        out << "set " << setting->name << "\n";
        return 0;
    }
    throw std::runtime_error("config: show, or set NAME VALUE");
}

int operators(const OperatorCommands::Arguments &a, std::ostream &out)
{
    std::string sub = a.words.size() > 1 ? a.words[1] : "list";
    if (sub == "add")
        refuseCommandLinePassword(a, 3);
    auto store = Store::open(database(a));
    OperatorAccounts accounts(*store);
    if (sub == "list" && a.words.size() <= 2) {
        out << "id\tname\tadded\n";
        printRows(accounts.list(), out);
        return 0;
    }
    if (a.words.size() != 3)
        throw std::runtime_error("operator: add NAME, remove NAME or list");
    const std::string &name = a.words[2];
    if (sub == "add") {
        accounts.add(name, password(a));
        out << "added operator " << shown(name) << "\n";
    } else if (sub == "remove") {
        accounts.remove(name);
        out << "removed operator " << shown(name) << "\n";
    } else
        throw std::runtime_error("operator: add NAME, remove NAME or list");
    return 0;
}

int backup(const OperatorCommands::Arguments &a, std::ostream &out)
{
    std::string target = required(a, "--to");
    auto store = Store::open(database(a));
    store->backupTo(target);
    out << "backed up " << shown(store->description()) << " into " << shown(target) << "\n";
    return 0;
}

// The source is only read (an older one is not upgraded); the target gets every row it can
// take, and each one it cannot is named.
int copy(const OperatorCommands::Arguments &a, std::ostream &out, std::ostream &err)
{
    std::string from = required(a, "--from"), to = database(a);
    if (Store::isPostgres(from))
        throw std::runtime_error("copy reads an SQLite file; a PostgreSQL database is copied with pg_dump");
    std::error_code ignored;
    if (std::filesystem::equivalent(from, to, ignored))
        throw std::runtime_error("the source and the target are the same file");
    CopySource source(from);
    auto target = Store::open(to, true);
    target->createSchema();
    auto skipped = target->copyFrom(source);
    for (const Store::SkippedRow &row : skipped)
        err << "left out " << row.table << " " << shown(row.key) << ": " << shown(row.reason) << "\n";
    out << "copied " << shown(source.description()) << " into " << shown(target->description()) << "\n";
    if (skipped.empty())
        return 0;
    err << "copied all but " << skipped.size() << " row(s), named above\n";
    return copiedWithRowsLeftOut;
}

// HOST:PORT of a listener; IPv6 hosts in brackets ("[::1]:8765").
void listenAddress(const std::string &text, const std::string &name, std::string &host,
                   std::string &shownHost, int &port)
{
    size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        throw std::runtime_error(name + " takes HOST:PORT");
    host = text.substr(0, colon);
    shownHost = host;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    port = int(integer(text.substr(colon + 1), "the port"));
    if (port < 0 || port > 65535)
        throw std::runtime_error("port out of range: " + text);
}

int serve(const OperatorCommands::Arguments &a, std::ostream &out, std::ostream &err)
{
    ServeCommand::Settings settings;
    HttpFrontEnd::Options &options = settings.http;
    std::string listen = option(a, "--listen", "127.0.0.1:8765");
    listenAddress(listen, "--listen", options.host, settings.shownHost, options.port);
    if (a.options.count("--admin-listen"))
        listenAddress(a.options.at("--admin-listen"), "--admin-listen", settings.adminHost,
                      settings.shownAdminHost, settings.adminPort);
    std::string logFormat = option(a, "--log-format", "text");
    if (logFormat != "text" && logFormat != "json")
        throw std::runtime_error("--log-format takes text or json");
    options.jsonLog = logFormat == "json";
    options.threads = int(integer(option(a, "--threads", "8"), "--threads"));
    if (options.threads < 1 || options.threads > 1024)
        throw std::runtime_error("--threads takes 1 to 1024");
    auto proxies = a.repeated.equal_range("--trusted-proxy");
    for (auto it = proxies.first; it != proxies.second; ++it)
        options.trustedProxies.push_back(it->second);
    long long perAddress =
        integer(option(a, "--max-connections-per-address", "64"), "--max-connections-per-address");
    if (perAddress < 1)
        throw std::runtime_error("--max-connections-per-address takes a positive number");
    options.connectionsPerAddress = std::size_t(perAddress);
    long long streams = integer(option(a, "--max-streams", "20000"), "--max-streams");
    if (streams < 0)
        throw std::runtime_error("--max-streams takes a number of 0 or more");
    options.streams = std::size_t(streams);
    options.log = a.options.count("--quiet") == 0;
    settings.demoFeedSeconds =
        a.options.count("--demo-feed") ? integer(a.options.at("--demo-feed"), "--demo-feed") : 0;
    bool certificate = a.options.count("--tls-cert") != 0, key = a.options.count("--tls-key") != 0;
    if (certificate != key)
        throw std::runtime_error("--tls-cert and --tls-key go together");
    if (certificate)
        options.tls = std::make_shared<TlsContext>(a.options.at("--tls-cert"), a.options.at("--tls-key"));
    settings.database = database(a);
    settings.publicUrl = option(a, "--public-url");
    if (!settings.publicUrl.empty() && settings.publicUrl.rfind("http://", 0) != 0 &&
        settings.publicUrl.rfind("https://", 0) != 0)
        throw std::runtime_error("--public-url takes http://HOST[:PORT] or https://HOST[:PORT]");
    while (!settings.publicUrl.empty() && settings.publicUrl.back() == '/')
        settings.publicUrl.pop_back();
    long long pending =
        integer(option(a, "--max-pending-applications", "1000"), "--max-pending-applications");
    if (pending < 0)
        throw std::runtime_error("--max-pending-applications takes 0 or more");
    settings.maxPendingApplications = std::size_t(pending);
    return ServeCommand::run(settings, out, err);
}

} // namespace

std::string OperatorCommands::defaultDatabase()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    std::string base =
        data && *data ? data : std::string(std::getenv("HOME") ? std::getenv("HOME") : ".") + "/.local/share";
    return base + "/stock-alert-service/service.db";
}

OperatorCommands::Arguments OperatorCommands::parse(const std::vector<std::string> &args)
{
    Arguments a;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            std::string name = arg, value;
            size_t eq = arg.find('=');
            bool inlineValue = eq != std::string::npos;
            if (inlineValue) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            }
            if (flags.count(name) && !inlineValue) {
                a.options[name] = "";
            } else if (valued.count(name)) {
                if (!inlineValue) {
                    // "--text --db FILE" is a forgotten value, not a text "--db".
                    if (i + 1 >= args.size() || flags.count(args[i + 1]) || valued.count(args[i + 1]))
                        throw std::runtime_error("option " + name + " needs a value");
                    value = args[++i];
                }
                a.options[name] = value;
                a.repeated.emplace(name, value);
            } else
                throw std::runtime_error("unknown option " + arg);
        } else
            a.words.push_back(arg);
    }
    return a;
}

std::string OperatorCommands::usage()
{
    return "usage: stock-alert-service COMMAND [options]   (every command takes --db FILE or\n"
           "       --db postgresql://USER@HOST/DBNAME, any libpq connection URI)\n"
           "  serve [--listen HOST:PORT] [--demo-feed SECONDS] [--threads N] [--quiet]\n"
           "        [--trusted-proxy ADDRESS]... [--max-connections-per-address N] [--max-streams N]\n"
           "        [--tls-cert FILE --tls-key FILE]   (HTTPS only; SIGHUP reads both files again)\n"
           "        [--admin-listen HOST:PORT]   (the operators' web console and /metrics)\n"
           "        [--log-format text|json]\n"
           "        [--public-url http://HOST:PORT] [--max-pending-applications N]\n"
           "  init [--demo]\n"
           "  publish stock --code C --name N --op O --reason R [--level L] [--time T]\n"
           "  publish news --type T --text X [--level L] [--time T]\n"
           "  publish insider --title T [--body B] [--level L] [--time T]\n"
           "  publish secret --title T [--body B] [--level L] [--time T]\n"
           "  revise stock|news|insider|secret ID [the options of publish]\n"
           "  user add NAME [--password-file FILE] [--level L] [--until yyyy-mm-dd]\n"
           "  user list | user remove NAME | user passwd NAME [--password-file FILE]\n"
           "  applications list | applications approve NAME [--level L] [--until yyyy-mm-dd]\n"
           "  applications reject NAME\n"
           "  config show | config set NAME VALUE   (the settings the clients read)\n"
           "  operator add NAME [--password-file FILE] | operator remove NAME | operator list\n"
           "        (web console accounts)\n"
           "  backup --to FILE   (a consistent copy of a live SQLite database)\n"
           "  copy --from FILE   (everything of an SQLite database into a new --db, e.g. PostgreSQL;\n"
           "        the file is only read; exit status 3: rows left out, each named on standard error)\n"
           "  help | --help   (this text)\n"
           "Levels are 1 to 3 (3: public). Passwords never on the command line: the first line of the\n"
           "--password-file, else one line of standard input (a prompt, not echoed, on a terminal).\n";
}

int OperatorCommands::run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    try {
        Arguments a = parse(args);
        std::string command = a.words.empty() ? "" : a.words.front();
        // "--help" after any command, as operators type it, asks for the usage and runs nothing.
        if (command == "help" || a.options.count("--help")) {
            out << usage();
            return 0;
        }
        if (command == "serve")
            return serve(a, out, err);
        if (command == "init")
            return init(a, out);
        if (command == "publish")
            return publish(a, out);
        if (command == "revise")
            return revise(a, out);
        if (command == "user")
            return user(a, out);
        if (command == "applications")
            return applications(a, out);
        if (command == "copy")
            return copy(a, out, err);
        if (command == "config")
            return config(a, out);
        if (command == "operator")
            return operators(a, out);
        if (command == "backup")
            return backup(a, out);
        if (command.empty()) {
            err << usage();
            return 2;
        }
        err << "unknown command " << shown(command) << "\n" << usage();
        return 2;
    } catch (const std::exception &error) {
        err << "stock-alert-service: " << shown(error.what()) << "\n";
        return 1;
    }
}
