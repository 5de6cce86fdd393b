#include "console/ConsoleRoutes.h"

#include "console/ConsolePages.h"
#include "console/HtmlText.h"
#include "console/MetricsText.h"
#include "http/RequestCounters.h"
#include "service/ConfigurationCatalogue.h"
#include "service/PublishDesk.h"
#include "store/DateTimeText.h"
#include "store/OperatorAccounts.h"
#include "store/Store.h"
#include "store/StoredConfiguration.h"
#include "store/Stream.h"

#include <boost/asio/steady_timer.hpp>

#include <algorithm>

namespace {

const char *const htmlType = "text/html; charset=utf-8";
const char *const sessionCookieName = "console_session";
const char *const signInCookieName = "console_signin";

// What the browser may load and run: only this console's own files, never in a frame.
const std::vector<std::pair<std::string, std::string>> pageHeaders = {
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; form-action 'self'; "
     "frame-ancestors 'none'; base-uri 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-store"},
};

struct ColumnLabel
{
    const char *column;
    const char *label;
};
const ColumnLabel columnLabels[] = {{"gupiaodaima", "股票代码"}, {"jg", "股票名称"},   {"czfs", "操作方式"},
                                    {"czly", "操作理由"},        {"bt", "标题"},       {"nr", "内容"},
                                    {"zxlx", "资讯类型"},        {"zxnr", "资讯内容"}, {"nowtime", "时间"}};

struct StreamLabel
{
    const char *word;
    const char *label;
};
const StreamLabel streamLabels[] = {
    {"stock", "股票预警"}, {"news", "实时资讯"}, {"insider", "私募内参"}, {"secret", "私募绝密"}};

std::string labelOf(const std::string &column)
{
    for (const ColumnLabel &entry : columnLabels)
        if (column == entry.column)
            return entry.label;
    return column;
}

std::string streamLabel(const std::string &word)
{
    for (const StreamLabel &entry : streamLabels)
        if (word == entry.word)
            return entry.label;
    return word;
}

std::string cookie(const HttpRequest &request, const std::string &name)
{
    for (const std::string &header : request.headerValues("Cookie")) {
        std::size_t start = 0;
        while (start < header.size()) {
            std::size_t end = header.find(';', start);
            if (end == std::string::npos)
                end = header.size();
            std::string part = header.substr(start, end - start);
            std::size_t first = part.find_first_not_of(' ');
            part = first == std::string::npos ? std::string() : part.substr(first);
            if (part.rfind(name + "=", 0) == 0)
                return part.substr(name.size() + 1);
            start = end + 1;
        }
    }
    return {};
}

std::string queryOf(const HttpRequest &request)
{
    std::size_t mark = request.target.find('?');
    return mark == std::string::npos ? std::string() : request.target.substr(mark + 1);
}

HttpAnswer redirect(const std::string &to, std::vector<std::pair<std::string, std::string>> headers = {})
{
    headers.emplace_back("Location", to);
    return {303, htmlType, "", headers};
}

std::string e(const std::string &text)
{
    return HtmlText::escape(text);
}

std::string text(const SqlValue &value)
{
    return e(sqlValueText(value));
}

std::optional<long long> wholeNumber(const std::string &text)
{
    if (text.empty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return std::nullopt;
    return std::stoll(text);
}

std::string levelSelect(const std::string &name, long long selected)
{
    std::string html = "<select name=\"" + name + "\">";
    for (int level = Stream::firstLevel; level <= Stream::publicLevel; ++level)
        html += "<option value=\"" + std::to_string(level) + "\"" + (level == selected ? " selected" : "") +
                ">" + std::to_string(level) + (level == Stream::publicLevel ? "（公开）" : "") + "</option>";
    return html + "</select>";
}

// "yyyy-mm-dd" from a stored date-time, for a date field.
std::string dateOf(const SqlValue &value)
{
    std::string text = sqlValueText(value);
    return text.size() >= 10 ? text.substr(0, 10) : text;
}

} // namespace

ConsoleRoutes::ConsoleRoutes(Store &store, Options options)
    : store_(store), options_(std::move(options)), sessions_(options_.sessions), throttle_(store),
      rateSampledAt_(std::chrono::steady_clock::now())
{
}

std::string ConsoleRoutes::operationOf(const HttpRequest &request) const
{
    return "console " + request.path.substr(0, 40);
}

std::chrono::milliseconds ConsoleRoutes::holdFor(const HttpRequest &request)
{
    if (request.method == "POST" && request.path == "/login")
        return throttle_.delayFor(request.clientAddress);
    return std::chrono::milliseconds(0);
}

// The console has its own listener and threads, and only operators use it: its pages do
// their store work on those threads. A slowed-down sign-in waits on a timer, not a thread.
void ConsoleRoutes::answer(const HttpRequest &request, const boost::asio::any_io_executor &executor,
                           Reply reply)
{
    std::chrono::milliseconds hold{0};
    try {
        hold = holdFor(request);
    } catch (const std::exception &) {
        // The failures could not be read: the sign-in itself meets the same store and fails.
    }
    if (hold.count() <= 0)
        return reply(answerNow(request));
    auto timer = std::make_shared<boost::asio::steady_timer>(executor, hold);
    timer->async_wait([this, timer, &request, reply = std::move(reply)](boost::system::error_code) {
        reply(answerNow(request));
    });
}

HttpAnswer ConsoleRoutes::answerNow(const HttpRequest &request)
{
    try {
        return route(request);
    } catch (const std::exception &) {
        return {500, htmlType,
                ConsolePages::page({"服务器错误", "", "", ""}, "<p>处理请求时出错，请稍后再试。</p>"),
                pageHeaders};
    }
}

std::string ConsoleRoutes::sessionCookie(const std::string &token, int maxAgeSeconds) const
{
    return std::string(sessionCookieName) + "=" + token +
           "; Path=/; HttpOnly; SameSite=Strict; Max-Age=" + std::to_string(maxAgeSeconds) +
           (options_.secureCookies ? "; Secure" : "");
}

HttpAnswer ConsoleRoutes::route(const HttpRequest &request)
{
    const std::string &path = request.path;
    bool get = request.method == "GET", post = request.method == "POST";
    if (get && path == "/console.css")
        return {200, "text/css; charset=utf-8", ConsolePages::styleSheet(), {{"Cache-Control", "no-cache"}}};
    if (get && path == "/console.js")
        return {
            200, "text/javascript; charset=utf-8", ConsolePages::script(), {{"Cache-Control", "no-cache"}}};
    if (get && path == "/metrics")
        return metrics();
    if (get && path == "/favicon.ico")
        return {404, htmlType, ""};
    if (get && path == "/login")
        return signInPage(request, {}, 200);
    if (post && path == "/login")
        return signIn(request);
    if (!get && !post)
        return {405, htmlType, ""};

    std::string token = cookie(request, sessionCookieName);
    auto session = token.empty() ? std::nullopt : sessions_.find(token);
    if (session && !OperatorAccounts(store_).exists(session->operatorName)) {
        sessions_.closeAllOf(session->operatorName);
        session.reset();
    }
    if (!session)
        return redirect("/login");
    Visit visit{request, *session, decodeQuery(queryOf(request)).value_or(Form()), {}};
    if (post) {
        auto form = decodeQuery(request.body);
        // A form from elsewhere (or an old page) does not carry this session's token.
        if (!form || !ConsoleSessions::sameToken(queryValue(*form, "csrf"), session->formToken))
            return {403, htmlType,
                    ConsolePages::page({"表单已失效", session->operatorName, session->formToken, ""},
                                       "<p>表单已失效或来源不明，请返回重新打开页面后再提交。</p>", "", true),
                    pageHeaders};
        visit.form = std::move(*form);
        if (path == "/logout")
            return signOut(request);
    }
    return signedIn(visit);
}

HttpAnswer ConsoleRoutes::signedIn(Visit &visit)
{
    const std::string &path = visit.request.path;
    bool get = visit.request.method == "GET";
    if (get && path == "/")
        return overview(visit);
    if (get && path == "/publish")
        return publishPage(visit);
    if (!get && path == "/publish")
        return publish(visit);
    if (!get && path == "/revise")
        return revise(visit);
    if (get && path == "/subscribers")
        return subscribersPage(visit);
    if (!get && path.rfind("/subscribers/", 0) == 0)
        return subscriberAction(visit, path.substr(13));
    if (get && path == "/applications")
        return applicationsPage(visit);
    if (!get && path.rfind("/applications/", 0) == 0)
        return applicationAction(visit, path.substr(14));
    if (get && path == "/config")
        return configPage(visit);
    if (!get && path == "/config")
        return saveConfig(visit);
    if (get && path == "/audit")
        return auditPage(visit);
    return html(visit, "页面不存在", "", "<p>没有这个页面。</p>", "", true, 404);
}

// Sign-in and sign-out ---------------------------------------------------------------------

HttpAnswer ConsoleRoutes::signInPage(const HttpRequest &request, const std::string &message, int status)
{
    // The sign-in form's token goes into a cookie and the form alike: a form posted from
    // another site cannot know it. A browser that has one keeps it, so a second sign-in page
    // (another tab) does not void the first.
    std::string token = cookie(request, signInCookieName);
    bool wellFormed = token.size() == 64 && std::all_of(token.begin(), token.end(), [](char c) {
                          return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                      });
    if (!wellFormed)
        token = ConsoleSessions::randomToken();
    std::string body = "<form method=\"post\" action=\"/login\" id=\"signin\">" +
                       ConsolePages::tokenField(token) +
                       "<label for=\"name\">操作员</label><input type=\"text\" id=\"name\" name=\"name\" "
                       "autocomplete=\"username\" autofocus>"
                       "<label for=\"password\">密码</label><input type=\"password\" id=\"password\" "
                       "name=\"password\" autocomplete=\"current-password\">"
                       "<p><button type=\"submit\" id=\"signin-button\">登录</button></p></form>";
    auto headers = pageHeaders;
    headers.emplace_back("Set-Cookie", std::string(signInCookieName) + "=" + token +
                                           "; Path=/login; HttpOnly; SameSite=Strict; Max-Age=1800" +
                                           (options_.secureCookies ? "; Secure" : ""));
    return {status, htmlType, ConsolePages::page({"登录", "", "", ""}, body, message, !message.empty()),
            headers};
}

HttpAnswer ConsoleRoutes::signIn(const HttpRequest &request)
{
    auto form = decodeQuery(request.body);
    if (!form || !ConsoleSessions::sameToken(queryValue(*form, "csrf"), cookie(request, signInCookieName)))
        return signInPage(request, "登录表单已失效，请重新登录。", 403);
    std::string name = queryValue(*form, "name"), password = queryValue(*form, "password");
    OperatorAccounts accounts(store_);
    if (name.empty() || !accounts.verify(name, password)) {
        throttle_.recordFailure(request.clientAddress);
        return signInPage(request, "操作员或密码错误。", 401);
    }
    std::string token = sessions_.open(name);
    accounts.audit(name, request.clientAddress, "登录");
    if (options_.actionLog)
        options_.actionLog(name, request.clientAddress, "signed in");
    auto life = std::chrono::duration_cast<std::chrono::seconds>(ConsoleSessions::Limits().life).count();
    return redirect("/", {{"Set-Cookie", sessionCookie(token, int(life))}});
}

HttpAnswer ConsoleRoutes::signOut(const HttpRequest &request)
{
    std::string token = cookie(request, sessionCookieName);
    if (auto session = sessions_.find(token)) {
        OperatorAccounts(store_).audit(session->operatorName, request.clientAddress, "退出");
        if (options_.actionLog)
            options_.actionLog(session->operatorName, request.clientAddress, "signed out");
    }
    sessions_.close(token);
    return redirect("/login", {{"Set-Cookie", sessionCookie("", 0)}});
}

// Frame and audit -----------------------------------------------------------------------------

HttpAnswer ConsoleRoutes::html(Visit &visit, const std::string &title, const std::string &active,
                               const std::string &body, const std::string &message, bool error, int status)
{
    ConsolePages::Frame frame{title, visit.session.operatorName, visit.session.formToken, active};
    return {status, htmlType, ConsolePages::page(frame, body, message, error), pageHeaders};
}

void ConsoleRoutes::record(const Visit &visit, const std::string &action)
{
    OperatorAccounts(store_).audit(visit.session.operatorName, visit.request.clientAddress, action);
    if (options_.actionLog)
        options_.actionLog(visit.session.operatorName, visit.request.clientAddress, action);
}

// Overview ---------------------------------------------------------------------------------

double ConsoleRoutes::requestRate()
{
    if (!options_.serviceCounters)
        return 0;
    std::lock_guard lock(rateMutex_);
    auto now = std::chrono::steady_clock::now();
    std::uint64_t total = options_.serviceCounters->total();
    double seconds = std::chrono::duration<double>(now - rateSampledAt_).count();
    double rate = seconds > 0 ? double(total - rateSampledTotal_) / seconds : 0;
    rateSampledAt_ = now;
    rateSampledTotal_ = total;
    return rate;
}

HttpAnswer ConsoleRoutes::overview(Visit &visit)
{
    auto card = [](const std::string &id, const std::string &label, const std::string &value) {
        return "<div class=\"card\" id=\"" + id + "\"><div class=\"value\">" + e(value) +
               "</div><div class=\"label\">" + label + "</div></div>";
    };
    auto count = [&](const char *sql) {
        auto value = store_.with([&](DatabaseConnection &c) { return c.scalar(sql); });
        return value ? sqlValueText(*value) : std::string("0");
    };
    std::string body = "<div class=\"cards\">";
    body += card("subscribers", "用户", count("SELECT count(*) FROM UserTable"));
    body += card("online", "当前在线", std::to_string(store_.onlineCount()));
    body += card("applications", "待审批申请", count("SELECT count(*) FROM NewUser"));
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", requestRate());
    body += card("rate", "每秒请求（自上次查看）", options_.serviceCounters ? rate : "-");
    body += "</div><h2>今日发布</h2><div class=\"cards\">";
    std::string today = DateTimeText::midnight(0);
    for (const Stream &stream : Stream::all())
        body += card(std::string("today-") + stream.word, streamLabel(stream.word),
                     std::to_string(store_.itemsSince(stream.table, today)));
    body += "</div>";
    return html(visit, "概览", "/", body, "", false, 200);
}

// Publishing --------------------------------------------------------------------------------

HttpAnswer ConsoleRoutes::publishPage(Visit &visit, const std::string &message, bool error, int status)
{
    std::string word = queryValue(visit.query, "stream");
    if (word.empty())
        word = queryValue(visit.form, "stream");
    const Stream *stream = Stream::named(word.empty() ? "stock" : word);
    if (!stream)
        stream = Stream::named("stock");
    // Revising: the form starts from the item as it is.
    auto reviseId = wholeNumber(queryValue(visit.query, "revise"));
    if (!reviseId)
        reviseId = wholeNumber(queryValue(visit.form, "id"));
    auto items = store_.latestItems(stream->table, 20);
    std::map<std::string, std::string> values;
    long long level = Stream::publicLevel;
    if (reviseId) {
        for (const SqlRow &row : items)
            if (sqlValueText(row[0].value) == std::to_string(*reviseId)) {
                for (const SqlField &field : row)
                    values[field.name] = sqlValueText(field.value);
                level =
                    std::stoll(sqlValueText(row.back().value).empty() ? "3" : sqlValueText(row.back().value));
            }
    }
    for (const auto &[name, value] : visit.form)
        values[name] = value;
    if (auto formLevel = wholeNumber(queryValue(visit.form, "level")))
        level = *formLevel;

    std::string body = "<p class=\"streams\">";
    for (const Stream &s : Stream::all())
        body += std::string("<a href=\"/publish?stream=") + s.word + "\"" +
                (&s == stream ? " class=\"active\"" : "") + ">" + streamLabel(s.word) + "</a>";
    body += "</p><div class=\"publish\"><form method=\"post\" action=\"" +
            std::string(reviseId ? "/revise" : "/publish") + "\" data-stream=\"" + stream->word +
            "\" id=\"publish-form\">" + ConsolePages::tokenField(visit.session.formToken) +
            "<input type=\"hidden\" name=\"stream\" value=\"" + stream->word + "\">";
    if (reviseId)
        body += "<input type=\"hidden\" name=\"id\" value=\"" + std::to_string(*reviseId) + "\"><p>修订第 " +
                std::to_string(*reviseId) + " 条</p>";
    for (const Stream::Column &column : stream->columns) {
        std::string name = column.name;
        bool longText = name == "czly" || name == "nr" || name == "zxnr";
        std::string label = labelOf(name) + (column.required ? " *" : "") +
                            (name == "nowtime" ? "（可空，格式 yyyy-mm-dd hh:mm:ss）" : "");
        body += "<label for=\"" + name + "\">" + label + "</label>";
        if (longText)
            body += "<textarea id=\"" + name + "\" name=\"" + name + "\">" + e(values[name]) + "</textarea>";
        else
            body += "<input type=\"text\" id=\"" + name + "\" name=\"" + name + "\" value=\"" +
                    e(values[name]) + "\">";
    }
    body += "<label for=\"level\">等级</label>" + levelSelect("level", level) +
            "<p><button type=\"submit\" id=\"publish-button\">" + (reviseId ? "保存修订" : "发布") +
            "</button></p></form>"
            "<div><h2>弹窗预览</h2><div class=\"toast\"><div class=\"caption\">消息提示</div><pre "
            "id=\"toast-text\">"
            "</pre></div></div></div>";
    body += "<h2>最新" + streamLabel(stream->word) + "</h2><table id=\"items\"><tr><th>编号</th>";
    for (const Stream::Column &column : stream->columns)
        body += "<th>" + labelOf(column.name) + "</th>";
    body += "<th>等级</th><th></th></tr>";
    for (const SqlRow &row : items) {
        body += "<tr>";
        for (const SqlField &field : row)
            body += "<td>" + text(field.value) + "</td>";
        body += std::string("<td><a href=\"/publish?stream=") + stream->word +
                "&amp;revise=" + sqlValueText(row[0].value) + "\">修订</a></td></tr>";
    }
    body += "</table>";
    if (message.empty()) {
        if (auto published = wholeNumber(queryValue(visit.query, "published")))
            return html(visit, "发布信息", "/publish", body, "已发布，编号 " + std::to_string(*published),
                        false, status);
        if (auto revised = wholeNumber(queryValue(visit.query, "revised")))
            return html(visit, "发布信息", "/publish", body,
                        "已保存第 " + std::to_string(*revised) + " 条的修订", false, status);
    }
    return html(visit, "发布信息", "/publish", body, message, error, status);
}

namespace {

PublishDesk::Columns streamFields(const Stream &stream,
                                  const std::vector<std::pair<std::string, std::string>> &form,
                                  bool keepEmpty)
{
    PublishDesk::Columns columns;
    for (const Stream::Column &column : stream.columns) {
        std::string value = queryValue(form, column.name);
        if (!value.empty() || (keepEmpty && column.name != std::string("nowtime")))
            columns.emplace_back(column.name, value);
    }
    return columns;
}

} // namespace

HttpAnswer ConsoleRoutes::publish(Visit &visit)
{
    const Stream *stream = Stream::named(queryValue(visit.form, "stream"));
    auto level = wholeNumber(queryValue(visit.form, "level"));
    if (!stream || !level)
        return publishPage(visit, "请选择信息类别和等级。", true, 400);
    for (const Stream::Column &column : stream->columns)
        if (column.required && queryValue(visit.form, column.name).empty())
            return publishPage(visit, "请填写" + labelOf(column.name) + "。", true, 400);
    try {
        auto id = PublishDesk(store_).publish(*stream, streamFields(*stream, visit.form, false), int(*level));
        record(visit, std::string("发布 ") + stream->word + " " + std::to_string(id));
        return redirect(std::string("/publish?stream=") + stream->word + "&published=" + std::to_string(id));
    } catch (const PublishDesk::Refusal &refusal) {
        return publishPage(visit, refusal.chinese(), true, 400);
    } catch (const std::runtime_error &error) {
        return publishPage(visit, std::string("未能发布：") + error.what(), true, 400);
    }
}

HttpAnswer ConsoleRoutes::revise(Visit &visit)
{
    const Stream *stream = Stream::named(queryValue(visit.form, "stream"));
    auto id = wholeNumber(queryValue(visit.form, "id"));
    auto level = wholeNumber(queryValue(visit.form, "level"));
    if (!stream || !id || !level)
        return publishPage(visit, "请选择要修订的信息。", true, 400);
    for (const Stream::Column &column : stream->columns)
        if (column.required && queryValue(visit.form, column.name).empty())
            return publishPage(visit, "请填写" + labelOf(column.name) + "。", true, 400);
    try {
        PublishDesk(store_).revise(*stream, *id, streamFields(*stream, visit.form, true), int(*level));
        record(visit, std::string("修订 ") + stream->word + " " + std::to_string(*id));
        return redirect(std::string("/publish?stream=") + stream->word + "&revised=" + std::to_string(*id));
    } catch (const PublishDesk::Refusal &refusal) {
        return publishPage(visit, refusal.chinese(), true, 400);
    } catch (const std::runtime_error &error) {
        return publishPage(visit, std::string("未能保存：") + error.what(), true, 400);
    }
}

// Subscribers ------------------------------------------------------------------------------------

HttpAnswer ConsoleRoutes::subscribersPage(Visit &visit, const std::string &message, bool error, int status)
{
    std::string search = queryValue(visit.query, "q");
    std::string token = ConsolePages::tokenField(visit.session.formToken);
    std::string body =
        "<form method=\"get\" action=\"/subscribers\"><input type=\"text\" name=\"q\" id=\"q\" "
        "placeholder=\"用户名包含\" value=\"" +
        e(search) + "\"> <button type=\"submit\">搜索</button></form>";
    body += "<h2>新增用户</h2><form method=\"post\" action=\"/subscribers/add\" id=\"add-form\">" + token +
            "<label>用户名</label><input type=\"text\" name=\"name\" id=\"new-name\">"
            "<label>密码</label><input type=\"password\" name=\"password\" id=\"new-password\" "
            "autocomplete=\"new-password\"><label>等级</label>" +
            levelSelect("level", Stream::publicLevel) +
            "<label>到期日</label><input type=\"date\" name=\"until\" value=\"" +
            DateTimeText::midnight(365).substr(0, 10) +
            "\"><p><button type=\"submit\" id=\"add-button\">新增</button></p></form>";
    body += "<h2>用户列表</h2><table "
            "id=\"subscribers-table\"><tr><th>编号</th><th>用户名</th><th>等级与到期日</th>"
            "<th>最近登录</th><th>登录地址</th><th>重置密码</th><th></th></tr>";
    for (const SqlRow &row : store_.findUsers(search, 200)) {
        std::string name = e(sqlValueText(row[1].value));
        auto level = std::get_if<std::int64_t>(&row[2].value);
        std::string nameField = "<input type=\"hidden\" name=\"name\" value=\"" + name + "\">";
        body += "<tr><td>" + text(row[0].value) + "</td><td class=\"name\">" + name + "</td><td>" +
                "<form method=\"post\" action=\"/subscribers/update\" class=\"inline\">" + token + nameField +
                levelSelect("level", level ? *level : Stream::publicLevel) +
                " <input type=\"date\" name=\"until\" value=\"" + e(dateOf(row[3].value)) +
                "\"> <button type=\"submit\">保存</button></form></td><td>" + text(row[4].value) +
                "</td><td>" + text(row[5].value) +
                "</td><td><form method=\"post\" action=\"/subscribers/password\" "
                "class=\"inline\">" +
                token + nameField +
                "<input type=\"password\" name=\"password\" autocomplete=\"new-password\"> <button "
                "type=\"submit\">重置</button></form></td><td><form method=\"post\" "
                "action=\"/subscribers/remove\" "
                "class=\"inline\" data-confirm=\"确定删除用户 " +
                name + " 吗？\">" + token + nameField +
                "<button type=\"submit\">删除</button></form></td></tr>";
    }
    body += "</table>";
    if (message.empty()) {
        std::string done = queryValue(visit.query, "done");
        static const std::map<std::string, std::string> notices = {{"add", "已新增用户"},
                                                                   {"update", "已保存等级与到期日"},
                                                                   {"password", "已重置密码"},
                                                                   {"remove", "已删除用户"}};
        auto it = notices.find(done);
        if (it != notices.end())
            return html(visit, "用户管理", "/subscribers", body, it->second, false, status);
    }
    return html(visit, "用户管理", "/subscribers", body, message, error, status);
}

HttpAnswer ConsoleRoutes::subscriberAction(Visit &visit, const std::string &action)
{
    std::string name = queryValue(visit.form, "name");
    std::string password = queryValue(visit.form, "password");
    std::string until = queryValue(visit.form, "until");
    auto level = wholeNumber(queryValue(visit.form, "level"));
    try {
        if (name.empty())
            return subscribersPage(visit, "请填写用户名。", true, 400);
        if ((action == "add" || action == "update") && (!level || !Stream::isLevel(*level)))
            return subscribersPage(visit, "等级应为 1 至 3。", true, 400);
        if ((action == "add" || action == "password") && password.empty())
            return subscribersPage(visit, "请填写密码。", true, 400);
        if (action == "add") {
            store_.addUser(name, password, int(*level), until.empty() ? DateTimeText::midnight(365) : until);
            record(visit, "新增用户 " + name + " 等级 " + std::to_string(*level));
        } else if (action == "update") {
            store_.updateUser(name, int(*level),
                              until.empty() ? std::nullopt : std::optional<std::string>(until));
            record(visit, "修改用户 " + name + " 等级 " + std::to_string(*level) + " 到期 " + until);
        } else if (action == "password") {
            store_.setPassword(name, password);
            record(visit, "重置密码 " + name);
        } else if (action == "remove") {
            store_.removeUser(name);
            record(visit, "删除用户 " + name);
        } else
            return html(visit, "页面不存在", "", "<p>没有这个操作。</p>", "", true, 404);
    } catch (const std::runtime_error &error) {
        return subscribersPage(visit, std::string("未能完成：") + error.what(), true, 400);
    }
    return redirect("/subscribers?done=" + action);
}

// Applications ----------------------------------------------------------------------------------

HttpAnswer ConsoleRoutes::applicationsPage(Visit &visit, const std::string &message, bool error, int status)
{
    std::string token = ConsolePages::tokenField(visit.session.formToken);
    std::string body =
        "<table id=\"applications-table\"><tr><th>编号</th><th>用户名</th><th>QQ</th><th>申请时间</th>"
        "<th>批准（等级、到期日）</th><th></th></tr>";
    auto rows = store_.listApplications();
    for (const SqlRow &row : rows) {
        std::string name = e(sqlValueText(row[1].value));
        std::string nameField = "<input type=\"hidden\" name=\"name\" value=\"" + name + "\">";
        body += "<tr><td>" + text(row[0].value) + "</td><td class=\"name\">" + name + "</td><td>" +
                text(row[2].value) + "</td><td>" + text(row[3].value) +
                "</td><td><form method=\"post\" action=\"/applications/approve\" class=\"inline\">" + token +
                nameField + levelSelect("level", Stream::publicLevel) +
                " <input type=\"date\" name=\"until\" value=\"" + DateTimeText::midnight(365).substr(0, 10) +
                "\"> <button type=\"submit\" class=\"approve\">批准</button></form></td><td><form "
                "method=\"post\" "
                "action=\"/applications/reject\" class=\"inline\">" +
                token + nameField + "<button type=\"submit\" class=\"reject\">拒绝</button></form></td></tr>";
    }
    body += "</table>";
    if (rows.empty())
        body += "<p>没有待审批的申请。</p>";
    if (message.empty()) {
        std::string done = queryValue(visit.query, "done");
        if (done == "approve" || done == "reject")
            return html(visit, "注册申请", "/applications", body, done == "approve" ? "已批准" : "已拒绝",
                        false, status);
    }
    return html(visit, "注册申请", "/applications", body, message, error, status);
}

HttpAnswer ConsoleRoutes::applicationAction(Visit &visit, const std::string &action)
{
    std::string name = queryValue(visit.form, "name");
    std::string until = queryValue(visit.form, "until");
    auto level = wholeNumber(queryValue(visit.form, "level"));
    try {
        if (action == "approve") {
            if (!level || !Stream::isLevel(*level))
                return applicationsPage(visit, "等级应为 1 至 3。", true, 400);
            store_.approveApplication(name, int(*level), until.empty() ? DateTimeText::midnight(365) : until);
            record(visit, "批准申请 " + name + " 等级 " + std::to_string(*level));
        } else if (action == "reject") {
            store_.rejectApplication(name);
            record(visit, "拒绝申请 " + name);
        } else
            return html(visit, "页面不存在", "", "<p>没有这个操作。</p>", "", true, 404);
    } catch (const std::runtime_error &error) {
        return applicationsPage(visit, std::string("未能完成：") + error.what(), true, 400);
    }
    return redirect("/applications?done=" + action);
}

// Configuration -------------------------------------------------------------------------------

HttpAnswer ConsoleRoutes::configPage(Visit &visit, const std::string &message, bool error, int status)
{
    StoredConfiguration configuration(store_);
    SqlRow system = configuration.row("Sys_pz"), pages = configuration.row("Sys_url");
    std::string body = "<form method=\"post\" action=\"/config\" id=\"config-form\">" +
                       ConsolePages::tokenField(visit.session.formToken) + "<table>";
    for (const auto &setting : ConfigurationCatalogue::all()) {
        const SqlRow &row = std::string(setting.table) == "Sys_pz" ? system : pages;
        std::string value;
        for (const SqlField &field : row)
            if (field.name == setting.column)
                value = ConfigurationCatalogue::shown(setting, field.value);
        std::string submitted = queryValue(visit.form, setting.name);
        if (!visit.form.empty())
            value = submitted;
        std::string field =
            setting.kind == ConfigurationCatalogue::Kind::Lines
                ? "<textarea name=\"" + std::string(setting.name) + "\">" + e(value) + "</textarea>"
                : "<input type=\"text\" name=\"" + std::string(setting.name) + "\" value=\"" + e(value) +
                      "\">";
        body += "<tr><th>" + std::string(setting.label) + "<br><small>" + setting.name + "</small></th><td>" +
                field + "<br><small>" + e(setting.meaning) + "</small></td></tr>";
    }
    body += "</table><p><button type=\"submit\" id=\"config-button\">保存</button></p></form>";
    if (message.empty() && queryValue(visit.query, "done") == "saved")
        return html(visit, "系统配置", "/config", body, "已保存", false, status);
    return html(visit, "系统配置", "/config", body, message, error, status);
}

HttpAnswer ConsoleRoutes::saveConfig(Visit &visit)
{
    // Every value is checked before any is written: a refused form changes nothing.
    for (const auto &setting : ConfigurationCatalogue::all()) {
        std::string value = queryValue(visit.form, setting.name);
        if (auto why = ConfigurationCatalogue::refusal(setting, value))
            return configPage(visit,
                              std::string(setting.label) + "（" + setting.name + "）取值无效：应为 " + *why,
                              true, 400);
    }
    StoredConfiguration configuration(store_);
    SqlRow system = configuration.row("Sys_pz"), pages = configuration.row("Sys_url");
    std::string changed;
    for (const auto &setting : ConfigurationCatalogue::all()) {
        const SqlRow &row = std::string(setting.table) == "Sys_pz" ? system : pages;
        std::string current;
        bool present = false;
        for (const SqlField &field : row)
            if (field.name == setting.column && !std::holds_alternative<std::monostate>(field.value)) {
                current = ConfigurationCatalogue::shown(setting, field.value);
                present = true;
            }
        std::string value = queryValue(visit.form, setting.name);
        if (present &&
            current == ConfigurationCatalogue::shown(setting, ConfigurationCatalogue::stored(setting, value)))
            continue;
        configuration.set(setting.table, setting.column, ConfigurationCatalogue::stored(setting, value));
        changed += (changed.empty() ? "" : ", ") + std::string(setting.name);
    }
    if (!changed.empty())
        record(visit, "修改配置 " + changed);
    return redirect("/config?done=saved");
}

// Audit and metrics ------------------------------------------------------------------------------

HttpAnswer ConsoleRoutes::auditPage(Visit &visit)
{
    std::string body =
        "<table "
        "id=\"audit-table\"><tr><th>编号</th><th>时间</th><th>操作员</th><th>地址</th><th>操作</th></tr>";
    for (const SqlRow &row : OperatorAccounts(store_).auditList(200)) {
        body += "<tr>";
        for (const SqlField &field : row)
            body += "<td>" + text(field.value) + "</td>";
        body += "</tr>";
    }
    body += "</table>";
    return html(visit, "操作记录", "/audit", body, "", false, 200);
}

HttpAnswer ConsoleRoutes::metrics()
{
    return {200, "text/plain; version=0.0.4; charset=utf-8",
            MetricsText::render(options_.serviceCounters, store_)};
}
