#include "service/ServicePages.h"

#include "service/DataSetWriter.h"
#include "service/WebService.h"
#include "soap/XmlText.h"

#include <map>

namespace {

std::string page(const std::string &title, const std::string &body)
{
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\"><title>" +
           XmlText::escapeHtml(title) +
           "</title><style>body{font-family:sans-serif;margin:2em;}li{margin:.4em 0;}"
           "table{border-collapse:collapse;}td,th{border:1px solid #999;padding:.3em .6em;}</style></head>"
           "<body>\n" +
           body + "\n</body></html>\n";
}

struct DemoPage
{
    const char *title;
    const char *text;
};

const std::map<std::string, DemoPage> demoPages = {
    {"news", {"新闻资讯", "今日要闻：沪深两市小幅高开，银行板块走强。"}},
    {"quotes", {"实时行情", "上证指数 3125.62 +0.42%　深证成指 10234.11 +0.65%　创业板指 2051.30 +0.88%"}},
    {"valuation", {"价值评估", "招商银行：市盈率 6.1 倍，市净率 0.9 倍，估值处于历史低位。"}},
    {"profiles", {"个股档案", "贵州茅台（600519）：白酒龙头，主营茅台酒及系列酒的生产与销售。"}},
    {"funds", {"大盘资金", "今日主力资金净流入 52.3 亿元，北向资金净买入 18.6 亿元。"}},
    {"research", {"研究报告", "行业研究：新能源汽车渗透率持续提升，产业链景气度维持高位。"}},
};

} // namespace

std::string ServicePages::helpPage()
{
    std::string body = "<h1>WebService</h1><p>支持下列操作（SOAP 1.1，命名空间 http://tempuri.org/）。"
                       "服务说明见 <a href=\"WebService.asmx?wsdl\">服务说明</a>。</p><ul>";
    for (const auto &op : WebService::operations()) {
        body += "<li><b>" + std::string(op.name) + "</b>(";
        for (size_t i = 0; i < op.parameters.size(); ++i)
            body += (i ? ", " : "") + std::string(op.parameters[i].name) + ": " + (op.parameters[i].type + 2);
        body += ") &rarr; " + std::string(op.result + 2) + "</li>";
    }
    return page("WebService Web 服务", body + "</ul>");
}

std::string ServicePages::wsdl(const std::string &endpoint)
{
    std::string types, messages, portOps, bindingOps;
    for (const auto &op : WebService::operations()) {
        std::string name = op.name;
        types += "<s:element name=\"" + name + "\"><s:complexType>";
        if (!op.parameters.empty()) {
            types += "<s:sequence>";
            for (const auto &[param, type] : op.parameters) {
                bool text = std::string(type) == "s:string";
                types += "<s:element minOccurs=\"" + std::string(text ? "0" : "1") +
                         "\" maxOccurs=\"1\" name=\"" + param + "\" type=\"" + type + "\" />";
            }
            types += "</s:sequence>";
        }
        types += "</s:complexType></s:element>";
        types += "<s:element name=\"" + name +
                 "Response\"><s:complexType><s:sequence><s:element minOccurs=\"" +
                 (std::string(op.result) == "s:string" ? "0" : "1") + "\" maxOccurs=\"1\" name=\"" + name +
                 "Result\" type=\"" + op.result + "\" /></s:sequence></s:complexType></s:element>";
        messages +=
            "<wsdl:message name=\"" + name + "SoapIn\"><wsdl:part name=\"parameters\" element=\"tns:" + name +
            "\" /></wsdl:message><wsdl:message name=\"" + name +
            "SoapOut\"><wsdl:part name=\"parameters\" element=\"tns:" + name + "Response\" /></wsdl:message>";
        portOps += "<wsdl:operation name=\"" + name + "\"><wsdl:input message=\"tns:" + name +
                   "SoapIn\" /><wsdl:output message=\"tns:" + name + "SoapOut\" /></wsdl:operation>";
        bindingOps +=
            "<wsdl:operation name=\"" + name + "\"><soap:operation soapAction=\"http://tempuri.org/" + name +
            "\" style=\"document\" /><wsdl:input><soap:body use=\"literal\" /></wsdl:input><wsdl:output>"
            "<soap:body use=\"literal\" /></wsdl:output></wsdl:operation>";
    }
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<wsdl:definitions xmlns:soap=\"http://schemas.xmlsoap.org/wsdl/soap/\" "
           "xmlns:s=\"http://www.w3.org/2001/XMLSchema\" xmlns:tns=\"http://tempuri.org/\" "
           "xmlns:wsdl=\"http://schemas.xmlsoap.org/wsdl/\" targetNamespace=\"http://tempuri.org/\">"
           "<wsdl:types><s:schema elementFormDefault=\"qualified\" targetNamespace=\"http://tempuri.org/\">" +
           types + "</s:schema></wsdl:types>" + messages + "<wsdl:portType name=\"WebServiceSoap\">" +
           portOps +
           "</wsdl:portType><wsdl:binding name=\"WebServiceSoap\" type=\"tns:WebServiceSoap\">"
           "<soap:binding transport=\"http://schemas.xmlsoap.org/soap/http\" />" +
           bindingOps +
           "</wsdl:binding><wsdl:service name=\"WebService\"><wsdl:port name=\"WebServiceSoap\" "
           "binding=\"tns:WebServiceSoap\"><soap:address location=\"" +
           XmlText::escapeHtml(endpoint) + "\" /></wsdl:port></wsdl:service></wsdl:definitions>";
}

std::string ServicePages::insiderPage(const std::string &username, std::int64_t level,
                                      const std::vector<SqlRow> &rows)
{
    std::string body = "<h1>私募内参</h1><p>用户：" + XmlText::escapeHtml(username) + "　级别：" +
                       std::to_string(level) + "</p>";
    if (rows.empty())
        body += "<p>暂无内参信息。</p>";
    for (const SqlRow &row : rows) {
        std::string time = DataSetWriter::fieldText(row[0]).substr(0, 19);
        for (auto &c : time)
            if (c == 'T')
                c = ' ';
        body += "<div class=\"item\"><h3>" + XmlText::escapeHtml(sqlValueText(row[1].value)) +
                "</h3><p><small>" + XmlText::escapeHtml(time) + "</small></p><p>" +
                XmlText::escapeHtml(sqlValueText(row[2].value)) + "</p></div>";
    }
    return page("私募内参", body);
}

std::string ServicePages::errorPage(const std::string &title, const std::string &message)
{
    return page(title,
                "<h1>" + XmlText::escapeHtml(title) + "</h1><p>" + XmlText::escapeHtml(message) + "</p>");
}

const std::vector<std::string> &ServicePages::demoPageNames()
{
    static const std::vector<std::string> names = {"news",     "quotes", "valuation",
                                                   "profiles", "funds",  "research"};
    return names;
}

std::string ServicePages::demoPage(const std::string &name)
{
    auto it = demoPages.find(name);
    if (it == demoPages.end())
        return {};
    std::string body = "<h1>" + std::string(it->second.title) + "</h1><p>" + it->second.text + "</p><ul>";
    for (const auto &other : demoPageNames()) {
        if (other == name)
            continue;
        body += "<li><a href=\"/pages/" + other + ".html\">" + demoPages.at(other).title + "</a></li>";
    }
    // A link that asks for a new window: the client keeps such requests in its own view.
    body += "<li><a href=\"/pages/" + std::string(name == "news" ? "research" : "news") +
            ".html\" target=\"_blank\">在新窗口中打开</a></li></ul>";
    return page(it->second.title, body);
}
