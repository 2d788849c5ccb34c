#include "session/MirrorRun.h"

#include "settings/Globals.h"

#include <QSaveFile>

namespace {

// Local and remote paths both use "/" here; a "\" a server reports is read
// as one too.
constexpr QChar kSep = QLatin1Char('/');

QString RelativeDir(const QString& root, QString d)
{
    d.replace(QLatin1Char('\\'), kSep);
    if (!root.isEmpty() && !root.endsWith(kSep) && !d.isEmpty() && !d.startsWith(kSep))
        d.prepend(kSep);
    if (!d.isEmpty() && !d.endsWith(kSep))
        d.append(kSep);
    return d;
}

QString FullDir(const QString& root, const QString& dir)
{
    if (!root.isEmpty() && !root.endsWith(kSep) && !dir.startsWith(kSep))
        return root + kSep + dir;
    return root + dir;
}

QString ParentDir(QString d)
{
    if (d.endsWith(kSep))
        d.chop(1);
    const qsizetype cut = d.lastIndexOf(kSep);
    return cut > 0 ? d.left(cut + 1) : QString();
}

bool Unfinished(TMirrorState s) { return s == smNone || s == smProgress; }

} // namespace

QString MirrorOpName(TMirrorOp op)
{
    static const char* const names[] = {"omNone",   "omGet",    "omPut",    "omMkdLoc", "omMkdFtp", "omRmdLoc",
                                        "omRmdFtp", "omDelLoc", "omDelFtp", "omDir",    "omDirUp"};
    return op < std::size(names) ? QLatin1String(names[op]) : QStringLiteral("?");
}

QString MirrorStateName(TMirrorState state)
{
    static const char* const names[] = {"smNone", "smProgress", "smDirProgress", "smDone", "smStopped", "smError"};
    return state < std::size(names) ? QLatin1String(names[state]) : QStringLiteral("?");
}

void TMirrorRun::AddOp(const TMirrorRec& rec)
{
    ops_.push_back(rec);
}

void TMirrorRun::InsertOp(int index, const TMirrorRec& rec)
{
    if (index < 0 || index >= OpCount()) {
        AddOp(rec);
        return;
    }
    ops_.insert(ops_.begin() + index, rec);
    if (std::size_t(index) < scan_) {
        // The records from index on moved one further; an unfinished new
        // one must be seen again.
        if (Unfinished(rec.State))
            scan_ = std::size_t(index);
        else
            ++scan_;
    }
}

void TMirrorRun::InsertOps(int index, const std::vector<TMirrorRec>& recs)
{
    if (recs.empty())
        return;
    if (index < 0 || index >= OpCount()) {
        ops_.insert(ops_.end(), recs.begin(), recs.end());
        return;
    }
    ops_.insert(ops_.begin() + index, recs.begin(), recs.end());
    if (std::size_t(index) < scan_)
        scan_ = std::size_t(index);
}

TMirrorRec TMirrorRun::GetOp(int index) const
{
    return index >= 0 && index < OpCount() ? ops_[std::size_t(index)] : TMirrorRec();
}

void TMirrorRun::PutOp(int index, const TMirrorRec& rec)
{
    if (index < 0 || index >= OpCount())
        return;
    ops_[std::size_t(index)] = rec;
    if (Unfinished(rec.State) && std::size_t(index) < scan_)
        scan_ = std::size_t(index);
}

bool TMirrorRun::NextPending(int& index)
{
    index = -1;
    if (Stopped || ops_.empty())
        return false;
    for (; scan_ < ops_.size(); ++scan_) {
        ++steps_;
        TMirrorRec& rec = ops_[scan_];
        if (rec.State == smProgress)
            rec.State = smDone;
        else if (rec.State == smNone) {
            index = int(scan_);
            return true;
        }
    }
    return false;
}

void TMirrorRun::SetLocalDir(const QString& d) { LocalDir = RelativeDir(LocalRoot, d); }

void TMirrorRun::SetRemoteDir(const QString& d) { RemoteDir = RelativeDir(RemoteRoot, d); }

void TMirrorRun::EnterDir(const TMirrorRec& rec)
{
    SetLocalDir(LocalDir + rec.LocalName);
    SetRemoteDir(RemoteDir + rec.RemoteName);
}

void TMirrorRun::LeaveDir()
{
    LocalDir = ParentDir(LocalDir);
    RemoteDir = ParentDir(RemoteDir);
}

QString TMirrorRun::LocalFull() const { return FullDir(LocalRoot, LocalDir); }

QString TMirrorRun::RemoteFull() const { return FullDir(RemoteRoot, RemoteDir); }

QByteArray TMirrorRun::StateText() const
{
    QString text;
    const QLatin1String eol("\r\n");
    for (const QString* line : {&Host, &LocalRoot, &RemoteRoot, &LocalDir, &RemoteDir})
        text += *line + eol;
    text += (Stopped ? QLatin1String("Stopped") : QLatin1String("Ok")) + eol;
    const QChar tab = QLatin1Char('\t');
    for (const TMirrorRec& r : ops_) {
        text += r.LocalName + tab + r.RemoteName + tab + QString::number(r.LocalSize) + tab
                + QString::number(r.RemoteSize) + tab + MirrorOpName(r.Op) + tab + MirrorStateName(r.State) + eol;
    }
    return text.toUtf8();
}

bool TMirrorRun::SaveState(const QString& fileName, QString* error) const
{
    QSaveFile file(fileName);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(StateText()) >= 0 && file.commit();
    if (!ok && error)
        *error = QStringLiteral("%1 could not be written: %2").arg(fileName, file.errorString());
    return ok;
}

QString MirrorStateFile() { return ProgramDir + QStringLiteral("mirrorstate.txt"); }
