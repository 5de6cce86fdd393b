#pragma once

#include <QString>

// The web service's ten operations. Every failure (transport, HTTP status, SOAP fault,
// unreadable answer) is thrown as std::runtime_error whose what() is the UTF-8 message.
class WebServiceSoap
{
public:
    virtual ~WebServiceSoap() = default;

    virtual double addition(double i, double j) = 0;
    virtual QString yanzheng(const QString &username, const QString &userpass) = 0;
    virtual QString zhixing(const QString &sql) = 0;
    virtual double jian(double i, double j) = 0;
    virtual QString hqSys_pz() = 0;
    virtual QString hqdlyhxx(const QString &username, const QString &userpass) = 0;
    virtual int hqsfczjl(const QString &strsql) = 0;
    virtual QString hqsametable(const QString &strsql) = 0;
    virtual QString ifchangetable(int userdj) = 0;
    virtual QString hqdlsj(const QString &userid) = 0;
};
