// A language file: the first byte picks the section (a window class) that is
// read; every key is split into its parts and every value decoded. The pairs
// written into a new file read back the same.
#include "FuzzSupport.h"

#include "i18n/LanguageFile.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const char* const kSections[] = {"T_MAIN", "MESSAGES", "T_OPTIONS", "TFREWRITE"};
    fuzz::Input in(data, size);
    const QString section = QLatin1String(kSections[in.byte() % 4]);
    const QString path = fuzz::scratchDir() + QStringLiteral("in.lan");
    const QString copy = fuzz::scratchDir() + QStringLiteral("copy.lan");
    fuzz::writeFile(path, in.rest());

    const TLangPairs pairs = ReadLanguageSection(path, section);
    for (const auto& p : pairs) {
        const TTextKey key = ParseTextKey(p.first);
        FUZZ_CHECK(!key.Component.isNull() || p.first.isEmpty());
        DecodeLangValue(p.second);
    }

    QFile::remove(copy);
    FUZZ_CHECK(WriteLanguageSection(copy, section, pairs));
    FUZZ_CHECK_EQ(ReadLanguageSection(copy, section), pairs);
    return 0;
}
