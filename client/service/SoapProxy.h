#pragma once

#include "WebServiceSoap.h"

#include <QString>

#include <initializer_list>

// WebServiceSoap over SOAP 1.1 document/literal (wrapped) in the namespace
// "http://tempuri.org/", one blocking HTTP POST per operation. A proxy is made for one
// call and thrown away; it holds nothing but the endpoint.
class SoapProxy : public WebServiceSoap
{
public:
    explicit SoapProxy(const QString &endpoint);

    double addition(double i, double j) override;
    QString yanzheng(const QString &username, const QString &userpass) override;
    QString zhixing(const QString &sql) override;
    double jian(double i, double j) override;
    QString hqSys_pz() override;
    QString hqdlyhxx(const QString &username, const QString &userpass) override;
    int hqsfczjl(const QString &strsql) override;
    QString hqsametable(const QString &strsql) override;
    QString ifchangetable(int userdj) override;
    QString hqdlsj(const QString &userid) override;

    QString endpoint() const { return endpointUrl; }

    // XML Schema lexical forms of a double: shortest text that reads back to the same
    // value, "INF", "-INF" and "NaN". Throws for text that is no double.
    static QString formatDouble(double value);
    static double parseDouble(const QString &text);

private:
    struct Parameter
    {
        const char *name;
        QString text;
    };

    // Sends the operation and returns the text of its result element as it arrived.
    QString call(const char *operation, std::initializer_list<Parameter> parameters);
    // Text results reach the caller through the client's GBK code page.
    QString callForText(const char *operation, std::initializer_list<Parameter> parameters);

    QString endpointUrl;
};
