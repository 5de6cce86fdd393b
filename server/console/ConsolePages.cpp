#include "console/ConsolePages.h"

#include "console/HtmlText.h"

namespace {

struct MenuEntry
{
    const char *path;
    const char *label;
};

const MenuEntry menu[] = {
    {"/", "概览"},           {"/publish", "发布"},  {"/subscribers", "用户"}, {"/applications", "注册申请"},
    {"/config", "系统配置"}, {"/audit", "操作记录"}};

} // namespace

std::string ConsolePages::tokenField(const std::string &formToken)
{
    return "<input type=\"hidden\" name=\"csrf\" value=\"" + HtmlText::escape(formToken) + "\">";
}

std::string ConsolePages::page(const Frame &frame, const std::string &body, const std::string &message,
                               bool error)
{
    std::string html = "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                       "<title>" +
                       HtmlText::escape(frame.title) +
                       " - 股票预警管理后台</title><link rel=\"stylesheet\" href=\"/console.css\">"
                       "<script src=\"/console.js\" defer></script></head><body>";
    html += "<header><span class=\"brand\">股票预警管理后台</span>";
    if (!frame.operatorName.empty()) {
        html += "<nav>";
        for (const MenuEntry &entry : menu)
            html += std::string("<a href=\"") + entry.path + "\"" +
                    (frame.active == entry.path ? " class=\"active\"" : "") + ">" + entry.label + "</a>";
        html += "</nav><form method=\"post\" action=\"/logout\" class=\"signout\">" +
                tokenField(frame.formToken) + "<span id=\"operator\">" +
                HtmlText::escape(frame.operatorName) + "</span> <button type=\"submit\">退出</button></form>";
    }
    html += "</header><main><h1>" + HtmlText::escape(frame.title) + "</h1>";
    if (!message.empty())
        html += std::string("<p class=\"") + (error ? "error" : "notice") + "\" id=\"message\">" +
                HtmlText::escape(message) + "</p>";
    html += body + "</main></body></html>\n";
    return html;
}

const char *ConsolePages::styleSheet()
{
    return R"CSS(body{margin:0;font-family:"WenQuanYi Micro Hei","Microsoft YaHei",sans-serif;background:#f4f6f9;color:#222}
header{display:flex;align-items:center;gap:24px;background:#1f3b63;color:#fff;padding:8px 20px}
header .brand{font-weight:bold;font-size:18px}
nav a{color:#dfe8f5;text-decoration:none;margin-right:14px;padding:4px 6px}
nav a.active{border-bottom:2px solid #ffcc4d;color:#fff}
.signout{margin-left:auto}
main{padding:16px 24px;max-width:1200px}
h1{font-size:22px;margin:6px 0 14px}
h2{font-size:17px;margin:20px 0 8px}
table{border-collapse:collapse;background:#fff;margin-bottom:12px}
th,td{border:1px solid #d5dbe3;padding:5px 8px;text-align:left;font-size:14px;vertical-align:top}
th{background:#e8edf4}
.cards{display:flex;flex-wrap:wrap;gap:12px}
.card{background:#fff;border:1px solid #d5dbe3;border-radius:6px;padding:12px 18px;min-width:150px}
.card .value{font-size:26px;font-weight:bold;color:#1f3b63}
.card .label{color:#666;font-size:13px}
form.inline{display:inline}
label{display:block;margin:6px 0 2px;font-size:14px}
input[type=text],input[type=password],input[type=date],select,textarea{padding:4px;font-size:14px;min-width:220px}
textarea{width:420px;height:70px}
td select,td input[type=password],td input[type=date]{min-width:0}
td form.inline{white-space:nowrap}
button{padding:4px 12px;font-size:14px;cursor:pointer}
.error{background:#fde2e1;border:1px solid #e0a3a0;padding:8px;color:#8b1a14}
.notice{background:#e3f4e4;border:1px solid #9fcfa3;padding:8px}
.streams a{margin-right:12px}
.publish{display:flex;gap:32px;align-items:flex-start}
.toast{width:250px;border:1px solid #7a96bd;background:linear-gradient(#fdfdff,#e1eaf7);box-shadow:2px 2px 6px #999}
.toast .caption{background:#3b6aa8;color:#fff;padding:4px 8px;font-size:13px}
.toast pre{margin:0;padding:10px;font-family:inherit;font-size:13px;white-space:pre-wrap;word-break:break-all;min-height:90px}
)CSS";
}

const char *ConsolePages::script()
{
    // The toast preview shows the lines the client will show, from the form's fields as they
    // are typed; textContent keeps whatever is typed plain text.
    return R"JS("use strict";
function previewLines(form) {
  var kind = form.getAttribute("data-stream");
  var v = function (name) { var f = form.elements[name]; return f ? f.value.trim() : ""; };
  var time = v("nowtime") || "（发布时间）";
  if (kind === "stock") return ["弹出时间：" + time, "股票代码：" + v("gupiaodaima"), "操作方式：" + v("czfs")];
  if (kind === "news") return ["弹出时间：" + time, "资讯类型：" + v("zxlx"), "资讯内容：" + v("zxnr")];
  if (kind === "insider") return ["【私募内参新消息】", "弹出时间：" + time, "内参标题：" + v("bt")];
  return ["【私募绝密新消息】", "弹出时间：" + time, "私募绝密标题：" + v("bt")];
}
function updatePreview(form) {
  var target = document.getElementById("toast-text");
  if (target) target.textContent = previewLines(form).join("\n");
}
document.addEventListener("DOMContentLoaded", function () {
  var form = document.querySelector("form[data-stream]");
  if (form) {
    form.addEventListener("input", function () { updatePreview(form); });
    updatePreview(form);
  }
  document.querySelectorAll("form[data-confirm]").forEach(function (f) {
    f.addEventListener("submit", function (e) {
      if (!window.confirm(f.getAttribute("data-confirm"))) e.preventDefault();
    });
  });
});
)JS";
}
