// A .cpf mirror job file: whatever it holds, the loaded job has settings in
// range, and the job saved and loaded again is the same job.
#include "FuzzSupport.h"

#include "session/MirrorJob.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::scratchDir() + QStringLiteral("in.cpf");
    const QString copy = fuzz::scratchDir() + QStringLiteral("copy.cpf");
    fuzz::writeFile(path, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));

    MirrorJob = TMirrorJob();
    LoadMirrorJob(path);
    const TMirrorJob loaded = MirrorJob;
    FUZZ_CHECK(loaded.Direction >= mirror::MirrorLocal && loaded.Direction <= mirror::MirrorBoth);
    FUZZ_CHECK(loaded.FileExists >= mirror::Overwrite && loaded.FileExists <= mirror::Ask);
    FUZZ_CHECK((loaded.Params & ~mirror::AllParams) == 0);

    // The exclusion list is stable once split and joined.
    const QStringList items = SplitExclusions(loaded.Exclusions);
    FUZZ_CHECK_EQ(SplitExclusions(JoinExclusions(items)), items);

    QFile::remove(copy);
    FUZZ_CHECK(SaveMirrorJob(copy));
    MirrorJob = TMirrorJob();
    FUZZ_CHECK(LoadMirrorJob(copy));
    FUZZ_CHECK(MirrorJob == loaded);
    return 0;
}
