#include "TestCertificates.h"

#include <QFile>
#include <QProcess>

TestCertificates::TestCertificates(const QString &authorityName)
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary directory");
        return;
    }
    openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days",
             "2", "-subj", "/CN=" + authorityName, "-keyout", dir_.filePath("ca.key"), "-out",
             authorityFile()});
}

QString TestCertificates::authorityFile() const
{
    return dir_.filePath(QStringLiteral("ca.pem"));
}

QString TestCertificates::certificateFile(const QString &name) const
{
    return dir_.filePath(name + QStringLiteral(".pem"));
}

QString TestCertificates::keyFile(const QString &name) const
{
    return dir_.filePath(name + QStringLiteral(".key"));
}

bool TestCertificates::issue(const QString &name, const QString &commonName)
{
    if (!isValid())
        return false;
    QString request = dir_.filePath(name + QStringLiteral(".csr"));
    QString extensions = dir_.filePath(name + QStringLiteral(".ext"));
    QFile file(extensions);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write("subjectAltName=IP:127.0.0.1,DNS:localhost\nextendedKeyUsage=serverAuth\n") < 0) {
        error_ = QStringLiteral("cannot write ") + extensions;
        return false;
    }
    file.close();
    return openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj",
                    "/CN=" + commonName, "-keyout", keyFile(name), "-out", request}) &&
           openssl({"x509", "-req", "-in", request, "-CA", authorityFile(), "-CAkey", dir_.filePath("ca.key"),
                    "-CAcreateserial", "-days", "2", "-extfile", extensions, "-out", certificateFile(name)});
}

bool TestCertificates::openssl(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error_ = QStringLiteral("openssl ") + arguments.join(' ') + QStringLiteral(": ") +
                 process.errorString() + QStringLiteral(" ") + QString::fromUtf8(process.readAll());
        return false;
    }
    return true;
}
