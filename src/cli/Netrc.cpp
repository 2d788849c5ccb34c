#include "Netrc.h"

#include <QByteArray>
#include <QList>

namespace {

// Splits the text into tokens; a "macdef" body (up to an empty line) is left out.
QList<QByteArray> tokens(const QByteArray& text)
{
    QList<QByteArray> out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (i < n) {
        while (i < n && space(text[i]))
            ++i;
        if (i >= n)
            break;
        QByteArray token;
        if (text[i] == '"') {
            for (++i; i < n && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < n)
                    ++i;
                token += text[i];
            }
            ++i; // the closing quote
        } else {
            while (i < n && !space(text[i]))
                token += text[i++];
        }
        if (token == "macdef") {
            // The macro's name, then its lines up to an empty line.
            const qsizetype end = text.indexOf("\n\n", i);
            i = end < 0 ? n : end + 2;
            continue;
        }
        out.append(token);
    }
    return out;
}

} // namespace

std::optional<NetrcEntry> findNetrcEntry(const QByteArray& text, const QString& host, const QString& user)
{
    const QList<QByteArray> t = tokens(text);
    std::optional<NetrcEntry> fallback;
    for (qsizetype i = 0; i < t.size();) {
        const QByteArray& word = t[i];
        if (word != "machine" && word != "default") {
            ++i;
            continue;
        }
        const bool isDefault = word == "default";
        QString machine;
        ++i;
        if (!isDefault && i < t.size())
            machine = QString::fromUtf8(t[i++]);
        NetrcEntry entry;
        while (i < t.size() && t[i] != "machine" && t[i] != "default") {
            const QByteArray key = t[i++];
            if (i >= t.size())
                break;
            const QString value = QString::fromUtf8(t[i]);
            if (key == "login") {
                entry.login = value;
                ++i;
            } else if (key == "password") {
                entry.password = value;
                entry.hasPassword = true;
                ++i;
            } else if (key == "account") {
                ++i;
            }
        }
        if (!user.isEmpty() && !entry.login.isEmpty() && entry.login != user)
            continue;
        if (isDefault) {
            if (!fallback)
                fallback = entry;
        } else if (machine.compare(host, Qt::CaseInsensitive) == 0) {
            return entry;
        }
    }
    return fallback;
}
