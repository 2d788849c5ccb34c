#pragma once
// File-name masks of the two file lists' filters and of the select commands:
// a comma-separated list of masks such as "*.txt, report?.*".
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// A mask list read once and matched against many names.
//
// "*.*", "*" and an empty text match every name. Otherwise the text is cut at
// "," into single masks (each trimmed); a name matches when any of them does.
// A single mask and the name are each cut at "." into pieces (each trimmed,
// empty pieces at the end dropped); they match when they have the same number
// of pieces and each mask piece matches the name piece at its place, ignoring
// case: "*" stands for any run of characters (also none), "?" for exactly one.
// So "*.txt" takes "notes.txt" but not "archive.tar.txt" or "README".
//
// A leading "." belongs to the first piece: on this system it marks a hidden
// file, not an empty name before an extension (".profile.txt" matches
// "*.txt"; ".*" matches the hidden names without a further dot).
class FileMask {
public:
    explicit FileMask(const QString& masks = QString());

    bool MatchesEverything() const { return all_; }
    bool Matches(QStringView name) const;

private:
    bool all_ = true;
    QList<QStringList> masks_;  // the pieces of each single mask, case-folded
};

// FileMask(masks).Matches(name).
bool MatchesFilter(const QString& name, const QString& masks);
