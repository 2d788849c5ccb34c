#pragma once
// What a server says it supports: the feature lines of its FEAT reply
// (RFC 2389), read into a set of names, each with the text after it (the
// MLST line carries its facts there).
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

class TFtpFeatures {
public:
    // The lines of a 211 reply to FEAT, from "211-..." to "211 End". Each
    // line between them is one feature: a name, then its parameters. The
    // leading space RFC 2389 asks for is optional here, and so is a "211-"
    // prefix that some servers repeat on every line. A single-line 211
    // reply means a server with no features.
    static TFtpFeatures FromReply(const QStringList& lines);

    // FEAT was answered with 211 (a refused FEAT leaves it false: nothing
    // is known, and nothing is offered).
    bool Known() const { return m_known; }
    // The feature is listed (names in any case: "mdtm" is MDTM).
    bool Has(QStringView name) const;
    // The text after the feature's name ("type*;size*;modify*;" for MLST).
    QString Parameters(QStringView name) const;
    // Every feature name, upper case, in the order listed.
    QStringList Names() const { return m_names; }

    // The facts the MLST line offers, as listed ("type", "UNIX.mode"), and
    // those marked with "*", which the server sends without being asked.
    QStringList MlstFacts() const;
    QStringList MlstFactsEnabled() const;

private:
    bool m_known = false;
    QStringList m_names;
    QHash<QString, QString> m_parameters;  // by upper-case name
};
