// The packed entry: six fields in one string, told apart by end offsets.
// Empty fields, the separator inside a field, fields past 65,535 characters
// and setters reading the entry they change are where packing goes wrong.
#include "ListingTestUtil.h"

namespace {

struct Fields {
    QString name, size, date, time, attributes, link;
};

void expectFields(const DirEntry& e, const Fields& f, const char* where)
{
    EXPECT_EQ(e.nameView(), f.name) << where;
    EXPECT_EQ(e.sizeView(), f.size) << where;
    EXPECT_EQ(e.dateView(), f.date) << where;
    EXPECT_EQ(e.timeView(), f.time) << where;
    EXPECT_EQ(e.attributesView(), f.attributes) << where;
    EXPECT_EQ(e.linkTargetView(), f.link) << where;
    EXPECT_EQ(e.name(), f.name) << where;
    EXPECT_EQ(e.linkTarget(), f.link) << where;
}

TEST(DirEntry, FieldsStayApartWhateverTheyHold)
{
    const QString sep(kDirEntrySeparator);
    const QString esc(QChar(0x0010));
    const Fields cases[] = {
        {},                                                        // nothing at all
        {"", "", "", "", "", "target"},                            // only the last field
        {"name", "", "", "", "", ""},                              // only the first
        {"a", "", "Jan 1", "", "-rw-r--r--", ""},                  // empty fields between
        {"", "12", "", "10:00", "", ""},                           // empty name
        {"a" + sep + "b", sep, "Jan" + sep, esc, esc + "a", sep + esc + sep},  // the separator and escape
    };
    for (const Fields& f : cases) {
        for (bool directory : {false, true}) {
            const DirEntry e(directory, f.name, f.size, f.date, f.time, f.attributes, f.link);
            EXPECT_EQ(e.directory, directory);
            expectFields(e, f, "built");
            const QString text = e.toText();
            EXPECT_EQ(text.count(kDirEntrySeparator), 6) << "seven fields in " << text.toStdString();
            const DirEntry back = DirEntry::fromText(text);
            expectFields(back, f, "read back");
            EXPECT_EQ(back, e);
        }
    }
    // The same characters cut at another place are another entry.
    EXPECT_NE(F("ab", "", "", ""), F("a", "b", "", ""));
    EXPECT_NE(F("", "", "", "", "x"), F("", "", "", "", "", "x"));
    EXPECT_EQ(DirEntry(), F("", "", "", ""));
}

TEST(DirEntry, SettersChangeOneFieldOfOneEntry)
{
    DirEntry e = F("link -> target", "42", "Jan 1", "10:00", "lrwxrwxrwx");
    const DirEntry copy = e;

    // Values read from the entry being changed.
    e.setLinkTarget(e.nameView().mid(8));
    e.setName(e.nameView().left(4));
    expectFields(e, {"link", "42", "Jan 1", "10:00", "lrwxrwxrwx", "target"}, "split");
    e.setSize({});
    expectFields(e, {"link", "", "Jan 1", "10:00", "lrwxrwxrwx", "target"}, "size cleared");
    e.setDate(u"Feb 2 2020");
    e.setTime({});
    e.setAttributes(e.attributesView());
    expectFields(e, {"link", "", "Feb 2 2020", "", "lrwxrwxrwx", "target"}, "date and time");

    // A copy taken before keeps its own fields.
    expectFields(copy, {"link -> target", "42", "Jan 1", "10:00", "lrwxrwxrwx", ""}, "copy");
    EXPECT_NE(copy, e);
}

TEST(DirEntry, PooledEntriesStayApartAndOutliveTheirPool)
{
    DirEntry kept;
    {
        std::vector<DirEntry> pooled;
        std::vector<DirEntry> alone;
        {
            DirEntryPool pool;
            // Enough text for blocks of every size up to the largest (whole
            // huge pages), with entries of no text and one larger than the
            // first blocks among them.
            for (int i = 0; i < 60000; ++i) {
                const QString name = i == 1234 ? QString(40'000, QLatin1Char('x'))
                                               : QStringLiteral("file %1.dat").arg(i);
                const QString size = i % 7 == 0 ? QString() : QString::number(i * 977);
                const QString attributes = i % 5 == 0 ? QString() : QStringLiteral("-rw-r--r--");
                if (i % 100 == 0) {
                    pooled.push_back(pool.make(true, {}, {}, {}, {}, {}, {}));
                    alone.push_back(DirEntry(true, {}));
                    continue;
                }
                pooled.push_back(pool.make(false, name, size, u"Jan 1", u"10:00", attributes, {}));
                alone.push_back(DirEntry(false, name, size, u"Jan 1", u"10:00", attributes));
            }
        }
        ASSERT_EQ(pooled.size(), alone.size());
        for (size_t i = 0; i < pooled.size(); ++i)
            ASSERT_EQ(pooled[i], alone[i]) << "entry " << i;

        // Changing a copy leaves the entry and its neighbours in the block alone.
        DirEntry changed = pooled[1500];
        changed.setName(u"renamed");
        changed.setSize(changed.nameView());
        EXPECT_EQ(changed.sizeView(), u"renamed");
        EXPECT_EQ(pooled[1500], alone[1500]);
        EXPECT_EQ(pooled[1499], alone[1499]);
        EXPECT_EQ(pooled[1501], alone[1501]);

        kept = pooled.back();
        pooled[2998] = pooled[2998];  // assigned to itself: still holds its block
        EXPECT_EQ(pooled[2998], alone[2998]);
        pooled[2997] = std::move(pooled[2996]);
        EXPECT_EQ(pooled[2997], alone[2996]);
    }
    // The pool and every other entry of the block are gone.
    expectFields(kept, {"file 59999.dat", QString::number(59999 * 977), "Jan 1", "10:00", "-rw-r--r--", ""},
                 "kept");
}

TEST(DirEntry, FieldsLongerThanSixteenBitsSurvive)
{
    const QString longName(70'000, QLatin1Char('n'));
    const QString longTarget(70'001, QLatin1Char('t'));

    // Through the readers, the link split and the text form.
    for (int type : {0, 7}) {
        const QString line = "lrwxrwxrwx 1 owner group 123 Jan 12 10:00 " + longName + " -> " + longTarget;
        const std::vector<DirEntry> entries = parse(type, {line});
        ASSERT_EQ(entries.size(), 1u) << "type " << type;
        const DirEntry& e = entries[0];
        EXPECT_EQ(e.nameView().size(), longName.size()) << "type " << type;
        EXPECT_EQ(e.nameView(), longName);
        EXPECT_EQ(e.linkTargetView(), longTarget);
        EXPECT_EQ(e.dateView(), u"Jan 12");
        EXPECT_EQ(e.timeView(), u"10:00");
        EXPECT_EQ(e.attributesView(), u"lrwxrwxrwx");
        EXPECT_TRUE(e.sizeView().isEmpty()) << "a link to no listed file counts as a directory";
        EXPECT_EQ(DirEntry::fromText(e.toText()), e);
    }

    // Every field after a long one starts past 65,535.
    const Fields f{longName, "1", QString(70'000, QLatin1Char('d')), "2", "3", "4"};
    DirEntry e(false, f.name, f.size, f.date, f.time, f.attributes, f.link);
    expectFields(e, f, "long fields");
    e.setTime(u"10:00");
    EXPECT_EQ(e.timeView(), u"10:00");
    EXPECT_EQ(e.dateView(), f.date);
    EXPECT_EQ(e.attributesView(), u"3");
}

} // namespace
