#include "session/MirrorCompare.h"

#include "listing/FileMask.h"
#include "listing/ListingDate.h"
#include "listing/ListingFormat.h"
#include "session/TransferRules.h"

#include <QDir>
#include <QHash>
#include <QSet>

bool ListingLosesNames(int listingType)
{
    return listingType == ListingFormat::Text || listingType == ListingFormat::MsFtp4;
}

namespace {

// Control characters shown as escapes, so a log line stays one line.
QString Shown(const QString& name)
{
    QString out;
    for (QChar c : name) {
        if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// A name that can be joined to a folder on both sides and sent in a command.
bool UsableName(const QString& name)
{
    return IsSafeEntryName(name) && !name.contains(QLatin1Char('\r')) && !name.contains(QLatin1Char('\n'))
           && !name.trimmed().isEmpty();
}

enum Use : quint8 {
    Take,  // compared and acted on
    Keep,  // present, but never transferred or deleted (nor its namesake)
};

enum Resolution : quint8 { Unknown, Days, Minutes, Seconds };

struct Item {
    QString name;
    bool dir = false;
    bool link = false;
    Use use = Take;
    qint64 size = 0;
    QDateTime time;
    Resolution resolution = Seconds;
    int twin = -1;      // index on the other side
    bool gone = false;  // already copied the other way (Mirror Both)
};

// A server's date as a time and how finely it is given. A date the reader
// cannot make out comes back as today whatever today is; read against two
// different todays, such a date shows itself by following the reference.
void ReadListedTime(const DirEntry& e, double zone, const QDate& today, Item& item)
{
    item.resolution = Unknown;
    QString text = e.dateView().trimmed().toString();
    if (text.isEmpty())
        return;
    const QString time = e.timeView().trimmed().toString();
    if (!time.isEmpty())
        text += QLatin1Char(' ') + time;
    const ListingDateTime read = ParseListingDate(text, 0.0, today);
    const QDate yesterday = today.addDays(-1);
    if (read.date == today && ParseListingDate(text, 0.0, yesterday).date == yesterday)
        return;
    item.time = ListedFileTime(e.dateView().toString(), time, zone, today);
    if (!item.time.isValid())
        return;
    item.resolution = !read.hasTime ? Days : text.count(QLatin1Char(':')) >= 2 ? Seconds : Minutes;
}

// -1, 0 or 1 as the local time is earlier, the same or later than the
// remote one, at the precision the listing gives.
int CompareAt(const QDateTime& local, const QDateTime& remote, Resolution resolution)
{
    qint64 l = local.toSecsSinceEpoch(), r = remote.toSecsSinceEpoch();
    if (resolution == Days) {
        l = local.date().toJulianDay();
        r = remote.date().toJulianDay();
    } else if (resolution == Minutes) {
        l = l >= 0 ? l / 60 : (l - 59) / 60;
        r = r >= 0 ? r / 60 : (r - 59) / 60;
    }
    return l < r ? -1 : l > r ? 1 : 0;
}

bool RemoteLinkLoops(const QString& target, const QString& remoteDir)
{
    if (target.isEmpty() || (remoteDir.isEmpty() && !target.startsWith(QLatin1Char('/'))))
        return false;
    const QString here = QDir::cleanPath(remoteDir.isEmpty() ? QStringLiteral("/") : remoteDir);
    const QString to = QDir::cleanPath(target.startsWith(QLatin1Char('/')) ? target : here + QLatin1Char('/') + target);
    return PathAtOrBelow(here, to);
}

class LevelCompare {
public:
    explicit LevelCompare(const MirrorLevelInput& in) : in_(in)
    {
        for (const QString& item : SplitExclusions(in.job.Exclusions))
            exclusions_.push_back({item, FileMask(item)});
    }

    MirrorLevel Run();

private:
    const MirrorLevelInput& in_;
    MirrorLevel out_;
    std::vector<std::pair<QString, FileMask>> exclusions_;
    QSet<QString> excludedLogged_;
    std::vector<Item> loc_, rem_;
    int hidden_ = 0;

    void Log(const QString& line) { out_.log << line; }
    bool Excluded(const QString& name);
    bool Hidden(const QString& name);
    void ReadLocal();
    void ReadRemote();
    void Pair();
    bool Transfer(const Item& local, const Item& remote, bool upload);
    void Add(TMirrorOp op, const QString& localName, const QString& remoteName, qint64 localSize = 0,
             qint64 remoteSize = 0, const QDateTime& time = QDateTime())
    {
        const qint64 stamp = time.isValid() ? time.toSecsSinceEpoch() : 0;
        out_.ops.push_back({localName, remoteName, localSize, remoteSize, op, smNone, stamp});
    }
    bool MayDescend(const QString& name);
    void BuildOps();
};

bool LevelCompare::Excluded(const QString& name)
{
    for (const auto& [item, mask] : exclusions_) {
        if (mask.Matches(name)) {
            if (!excludedLogged_.contains(name)) {
                excludedLogged_.insert(name);
                Log(QStringLiteral("Skipped %1: excluded by \"%2\"").arg(Shown(name), item));
            }
            return true;
        }
    }
    return false;
}

bool LevelCompare::Hidden(const QString& name)
{
    if (in_.listsHidden || !name.startsWith(QLatin1Char('.')))
        return false;
    ++hidden_;
    return true;
}

void LevelCompare::ReadLocal()
{
    const bool ignoreLinks = in_.job.Has(mirror::IgnoreLinks);
    loc_.reserve(in_.local.size());
    for (const MirrorLocalEntry& e : in_.local) {
        if (!UsableName(e.name)) {
            Log(QStringLiteral("Skipped local %1: the name cannot be used on a server").arg(Shown(e.name)));
            continue;
        }
        if (Hidden(e.name))
            continue;
        Item it;
        it.name = e.name;
        it.dir = e.kind == MirrorLocalEntry::Directory;
        it.link = e.link;
        it.size = e.size;
        it.time = e.modified;
        if (Excluded(e.name)) {
            it.use = Keep;
        } else if (e.link && ignoreLinks) {
            it.use = Keep;
            Log(QStringLiteral("Skipped local %1: a link (links are ignored)").arg(Shown(e.name)));
        } else if (e.kind == MirrorLocalEntry::Other) {
            it.use = Keep;
            Log(QStringLiteral("Skipped local %1: %2").arg(Shown(e.name), e.what));
        } else if (e.loops) {
            it.use = Keep;
            Log(QStringLiteral("Skipped local %1: a link to a folder that holds it (it would loop)").arg(Shown(e.name)));
        }
        loc_.push_back(std::move(it));
    }
}

void LevelCompare::ReadRemote()
{
    const bool ignoreLinks = in_.job.Has(mirror::IgnoreLinks);
    QHash<QString, int> seen;
    rem_.reserve(in_.remote.size());
    for (const DirEntry& e : in_.remote) {
        const QString name = e.name();
        if (name.trimmed().isEmpty())
            continue;
        if (!UsableName(name)) {
            Log(QStringLiteral("Skipped remote %1: the name cannot be used in a local folder").arg(Shown(name)));
            continue;
        }
        if (Hidden(name))
            continue;
        if (const auto at = seen.constFind(name); at != seen.cend()) {
            // Which of the two is meant cannot be told: touch neither.
            if (rem_[size_t(*at)].use == Take)
                Log(QStringLiteral("Skipped remote %1: listed more than once").arg(Shown(name)));
            rem_[size_t(*at)].use = Keep;
            continue;
        }
        Item it;
        it.name = name;
        it.dir = e.directory;
        it.link = IsLinkEntry(e);
        bool sizeRead = false;
        it.size = e.sizeView().trimmed().toLongLong(&sizeRead);
        if (!sizeRead)
            it.size = 0;
        if (!it.dir)
            ReadListedTime(e, in_.siteTimeZone, in_.today, it);
        if (Excluded(name)) {
            it.use = Keep;
        } else if (it.link && ignoreLinks) {
            it.use = Keep;
            Log(QStringLiteral("Skipped remote %1: a link (links are ignored)").arg(Shown(name)));
        } else if (it.link && it.dir && RemoteLinkLoops(e.linkTarget(), in_.remoteDir)) {
            it.use = Keep;
            Log(QStringLiteral("Skipped remote %1: a link to a folder that holds it (it would loop)").arg(Shown(name)));
        }
        seen.insert(name, int(rem_.size()));
        rem_.push_back(std::move(it));
    }
}

// Pairs each name with its twin on the other side: the same name first, then
// the same name in another letter case, each entry in one pair at most.
void LevelCompare::Pair()
{
    QHash<QString, int> exact;
    exact.reserve(qsizetype(rem_.size()));
    for (int j = 0; j < int(rem_.size()); ++j)
        exact.insert(rem_[size_t(j)].name, j);
    std::vector<int> unpaired;
    for (int i = 0; i < int(loc_.size()); ++i) {
        const auto at = exact.constFind(loc_[size_t(i)].name);
        if (at != exact.cend()) {
            loc_[size_t(i)].twin = *at;
            rem_[size_t(*at)].twin = i;
        } else {
            unpaired.push_back(i);
        }
    }
    if (!unpaired.empty()) {
        QHash<QString, std::vector<int>> folded;
        for (int j = 0; j < int(rem_.size()); ++j)
            if (rem_[size_t(j)].twin < 0)
                folded[rem_[size_t(j)].name.toCaseFolded()].push_back(j);
        QHash<QString, size_t> used;
        for (int i : unpaired) {
            const QString key = loc_[size_t(i)].name.toCaseFolded();
            const auto at = folded.constFind(key);
            if (at == folded.cend())
                continue;
            size_t& next = used[key];
            if (next < at->size()) {
                const int j = (*at)[next++];
                loc_[size_t(i)].twin = j;
                rem_[size_t(j)].twin = i;
            }
        }
    }
    for (Item& l : loc_) {
        if (l.twin < 0)
            continue;
        Item& r = rem_[size_t(l.twin)];
        if (l.use == Take && r.use == Take && l.dir != r.dir) {
            Log(QStringLiteral("Skipped %1: a %2 here and a %3 on the server")
                    .arg(Shown(l.name), l.dir ? QLatin1String("folder") : QLatin1String("file"),
                         r.dir ? QLatin1String("folder") : QLatin1String("file")));
            l.use = r.use = Keep;
        }
        if (l.use == Keep || r.use == Keep)
            l.use = r.use = Keep;
    }
}

// Whether a file with a twin is copied over it by the job's rule.
bool LevelCompare::Transfer(const Item& local, const Item& remote, bool upload)
{
    switch (in_.job.FileExists) {
    case mirror::Skip:
        return false;
    case mirror::OverwriteNewest: {
        if (remote.resolution == Unknown || !local.time.isValid()) {
            Log(QStringLiteral("Skipped %1: its date on the server cannot be read").arg(Shown(remote.name)));
            return false;
        }
        const int order = CompareAt(local.time, remote.time, remote.resolution);
        return upload ? order > 0 : order < 0;
    }
    default:  // Overwrite, and Ask, which asks before the transfer itself
        return true;
    }
}

bool LevelCompare::MayDescend(const QString& name)
{
    if (in_.depth < kMirrorMaxDepth)
        return true;
    Log(QStringLiteral("Skipped folder %1: more than %2 levels deep").arg(Shown(name)).arg(kMirrorMaxDepth));
    return false;
}

void LevelCompare::BuildOps()
{
    const int direction = in_.job.Direction;
    const bool up = direction == mirror::MirrorLocal || direction == mirror::MirrorBoth;
    const bool down = direction == mirror::MirrorRemote || direction == mirror::MirrorBoth;
    const bool subfolders = in_.job.Has(mirror::IncludeSubfolders);
    bool deleting = in_.job.Has(mirror::DeleteMissing) && direction != mirror::MirrorBoth;
    if (deleting && ListingLosesNames(in_.listingType)) {
        Log(QStringLiteral("Nothing is deleted in %1: this server's listing type can cut names short")
                .arg(in_.remoteDir.isEmpty() ? QStringLiteral("this folder") : in_.remoteDir));
        deleting = false;
    }
    auto twinOf = [](const std::vector<Item>& side, int index) { return index >= 0 ? &side[size_t(index)] : nullptr; };

    if (up) {
        for (const Item& l : loc_) {
            if (l.use != Take || l.dir)
                continue;
            Item* r = l.twin >= 0 ? &rem_[size_t(l.twin)] : nullptr;
            if (r && !Transfer(l, *r, true))
                continue;
            Add(omPut, l.name, r ? r->name : l.name, l.size, r ? r->size : 0, l.time);
            if (r && direction == mirror::MirrorBoth)
                r->gone = true;
        }
    }
    // A link is removed as a link, never as the folder it leads to.
    if (deleting && direction == mirror::MirrorLocal) {
        for (const Item& r : rem_)
            if (r.use == Take && r.twin < 0 && (!r.dir || r.link))
                Add(omDelFtp, QString(), r.name);
    }
    if (down) {
        for (const Item& r : rem_) {
            if (r.use != Take || r.dir || r.gone)
                continue;
            const Item* l = twinOf(loc_, r.twin);
            if (l && !Transfer(*l, r, false))
                continue;
            Add(omGet, l ? l->name : r.name, r.name, l ? l->size : 0, r.size, r.time);
        }
    }
    if (deleting && direction == mirror::MirrorRemote) {
        for (const Item& l : loc_)
            if (l.use == Take && l.twin < 0 && (!l.dir || l.link))
                Add(omDelLoc, l.name, QString());
    }
    if (!subfolders)
        return;
    if (up) {
        for (const Item& l : loc_) {
            if (l.use != Take || !l.dir || !MayDescend(l.name))
                continue;
            Item* r = l.twin >= 0 ? &rem_[size_t(l.twin)] : nullptr;
            if (!r)
                Add(omMkdFtp, QString(), l.name);
            const QString remoteName = r ? r->name : l.name;
            Add(omDir, l.name, remoteName);
            Add(omDirUp, l.name, remoteName);
            if (r && direction == mirror::MirrorBoth)
                r->gone = true;
        }
    }
    if (down) {
        for (const Item& r : rem_) {
            if (r.use != Take || !r.dir || r.gone || !MayDescend(r.name))
                continue;
            const Item* l = twinOf(loc_, r.twin);
            if (!l)
                Add(omMkdLoc, r.name, QString());
            const QString localName = l ? l->name : r.name;
            Add(omDir, localName, r.name);
            Add(omDirUp, localName, r.name);
        }
    }
    if (deleting && direction == mirror::MirrorLocal) {
        for (const Item& r : rem_)
            if (r.use == Take && r.twin < 0 && r.dir && !r.link)
                Add(omRmdFtp, QString(), r.name);
    }
    if (deleting && direction == mirror::MirrorRemote) {
        for (const Item& l : loc_)
            if (l.use == Take && l.twin < 0 && l.dir && !l.link)
                Add(omRmdLoc, l.name, QString());
    }
}

MirrorLevel LevelCompare::Run()
{
    if (!in_.localRead) {
        Log(QStringLiteral("The local folder %1 could not be read (%2): nothing is mirrored in it")
                .arg(in_.localDir, in_.localError));
        return out_;
    }
    if (!in_.remoteListed) {
        Log(QStringLiteral("The listing of %1 failed (%2): nothing is mirrored in it")
                .arg(in_.remoteDir, in_.remoteError));
        return out_;
    }
    ReadLocal();
    ReadRemote();
    if (hidden_ > 0)
        Log(QStringLiteral("Left out %1 hidden name(s): the site does not list hidden files").arg(hidden_));
    Pair();
    BuildOps();
    out_.ok = true;
    return out_;
}

} // namespace

MirrorLevel CompareMirrorLevel(const MirrorLevelInput& in) { return LevelCompare(in).Run(); }

MirrorLevel MirrorRemovalOps(const std::vector<DirEntry>& remote, bool listed, const QString& error,
                             int listingType, const QString& remoteDir)
{
    MirrorLevel out;
    if (!listed) {
        out.log << QStringLiteral("The listing of %1 failed (%2): it is not removed").arg(remoteDir, error);
        return out;
    }
    if (ListingLosesNames(listingType)) {
        out.log << QStringLiteral("%1 is not removed: this server's listing type can cut names short").arg(remoteDir);
        return out;
    }
    std::vector<TMirrorRec> folders;
    for (const DirEntry& e : remote) {
        const QString name = e.name();
        if (name.trimmed().isEmpty())
            continue;
        if (!UsableName(name)) {
            out.log << QStringLiteral("Skipped remote %1 in %2: the name cannot be sent back to the server")
                           .arg(Shown(name), remoteDir);
            continue;
        }
        TMirrorRec rec{QString(), name, 0, 0, omDelFtp, smNone};
        if (e.directory && !IsLinkEntry(e)) {
            rec.Op = omRmdFtp;
            folders.push_back(rec);
        } else {
            out.ops.push_back(rec);
        }
    }
    out.ops.insert(out.ops.end(), folders.begin(), folders.end());
    out.ok = true;
    return out;
}
