#pragma once

#include <QString>

#include <stdexcept>

// A service call that failed on its way (no connection, no answer in time, an answer cut off
// or too large): what() is a Chinese sentence for the subscriber that says what happened and
// names the service's address, followed after DetailMarker by the technical detail (libcurl's
// words, the address and the operation). The detail travels inside the text because a failure
// often reaches the user as text alone (a wait the user started passes its failure on that
// way); whoever shows it puts the sentence into the box and the detail behind its details
// button.
class TransportFailure : public std::runtime_error
{
public:
    enum class Kind { CannotResolve, CannotConnect, NoAnswer, ConnectionLost, TooLarge, Aborted, Other };

    // Separates the sentence from the detail in what(). The message boxes split at it too.
    static constexpr const char *DetailMarker = "\n\n技术信息：";

    TransportFailure(Kind kind, const QString &address, const QString &detail);

    Kind kind() const { return m_kind; }
    QString address() const { return m_address; }
    QString detail() const { return m_detail; }
    // The same failure with more detail after what it had (e.g. which operation was called).
    TransportFailure withDetail(const QString &more) const;

    // The sentence for the subscriber: e.g. "无法连接到服务器 127.0.0.1:8765，…".
    static QString sentence(Kind kind, const QString &address);

private:
    Kind m_kind;
    QString m_address;
    QString m_detail;
};
