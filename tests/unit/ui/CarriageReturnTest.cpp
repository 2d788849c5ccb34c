// "Carriage Return" in the window: the dialog, the selected local files
// converted and reported in the log, directories and Cancel left alone.
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"

#include "i18n/MsgLanguage.h"
#include "session/LineEndings.h"
#include "ui/T_Carrage.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>

#include <functional>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

using DialogAnswerer = ModalAnswerer<T_Carrage>;

class CarriageReturnTest : public MainWindowTest {
protected:
    QTemporaryDir local;

    QTreeView* list() const { return find<QTreeView>("lvLoc"); }
    QStringList logLines() const
    {
        const QString text = find<QPlainTextEdit>("Log")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }

    // Selects exactly the rows of the local list with these names.
    void select(const QStringList& names)
    {
        QAbstractItemModel* m = list()->model();
        QItemSelectionModel* s = list()->selectionModel();
        s->clearSelection();
        int found = 0;
        for (int r = 0; r < m->rowCount(); ++r)
            if (names.contains(m->index(r, 0).data().toString())) {
                s->select(m->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
                ++found;
            }
        ASSERT_EQ(found, names.size());
    }

    void showLocalFolder()
    {
        ASSERT_TRUE(local.isValid());
        writeFile(local.filePath("a.txt"), "one\ntwo\n");
        writeFile(local.filePath("b.txt"), "x\r\nlast");
        writeFile(local.filePath("c.txt"), "not\nselected\n");
        ASSERT_TRUE(QDir(local.path()).mkdir("sub"));
        writeFile(local.filePath("sub/inner.txt"), "in\n");
        start();
        ASSERT_TRUE(window->SetLocalDir(local.path()));
        ASSERT_TRUE(testenv::waitFor([&] { return list()->model()->rowCount() == 4; }));
    }

    QAction* command() const { return find<QAction>("N9"); }
};

} // namespace

TEST_F(CarriageReturnTest, SelectedFilesAreConvertedAndReportedDirectoriesSkipped)
{
    showLocalFolder();
    ASSERT_NE(command(), nullptr);
    EXPECT_EQ(command()->text(), QStringLiteral("Carriage Return"));
    EXPECT_TRUE(find<QMenu>("Localcomputer1")->actions().contains(command()));

    select({"a.txt", "b.txt", "sub"});
    const int linesBefore = int(logLines().size());
    DialogAnswerer user([](T_Carrage* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Carriage Return"));
        EXPECT_TRUE(d->rbNo->isChecked());
        d->findChild<QRadioButton*>("rbCRLF")->click();
        d->findChild<QPushButton*>("SpeedButton1")->click();
    });
    command()->trigger();
    EXPECT_EQ(user.shown, 1);

    EXPECT_EQ(readAll(local.filePath("a.txt")), QByteArray("one\r\ntwo\r\n"));
    EXPECT_EQ(readAll(local.filePath("b.txt")), QByteArray("x\r\nlast"));
    EXPECT_EQ(readAll(local.filePath("c.txt")), QByteArray("not\nselected\n"));
    EXPECT_EQ(readAll(local.filePath("sub/inner.txt")), QByteArray("in\n"));
    const QString dir = QDir::cleanPath(local.path()) + "/";
    EXPECT_EQ(logLines().mid(linesBefore).join('\n').toStdString(),
              ("Converting file: " + dir + "a.txt ... Ok!\nConverting file: " + dir + "b.txt ... Ok!").toStdString());
}

TEST_F(CarriageReturnTest, CancelDoNotChangeAndDirectoriesOnlyChangeNothing)
{
    showLocalFolder();
    const int linesBefore = int(logLines().size());

    // Cancel, even with a mode chosen.
    select({"a.txt"});
    DialogAnswerer cancel([](T_Carrage* d) {
        d->rbLF->click();
        d->SpeedButton2->click();
    });
    command()->trigger();
    EXPECT_EQ(cancel.shown, 1);

    // "Apply" with "Do not change".
    select({"b.txt"});
    DialogAnswerer keep([](T_Carrage* d) { d->SpeedButton1->click(); });
    command()->trigger();
    EXPECT_EQ(keep.shown, 1);

    EXPECT_EQ(readAll(local.filePath("a.txt")), QByteArray("one\ntwo\n"));
    EXPECT_EQ(readAll(local.filePath("b.txt")), QByteArray("x\r\nlast"));
    EXPECT_EQ(logLines().size(), linesBefore);

    // Only a directory selected: no dialog at all. The command runs to its
    // end within trigger(), so a dialog would have been seen by then.
    select({"sub"});
    DialogAnswerer none([](T_Carrage* d) { d->SpeedButton2->click(); });
    command()->trigger();
    EXPECT_EQ(none.shown, 0);
}

TEST(CarriageReturnDialog, ButtonsCarryTheModesAndTheWordsComeFromItsList)
{
    T_Carrage d;
    EXPECT_EQ(d.Mode(), lineend::NoChange);
    const std::pair<QRadioButton*, int> buttons[] = {
        {d.rbCRLF, lineend::CrLf}, {d.rbLfCR, lineend::LfCr}, {d.rbLF, lineend::Lf}, {d.rbCR, lineend::Cr},
        {d.rbNo, lineend::NoChange}};
    for (const auto& [button, mode] : buttons) {
        button->click();
        EXPECT_EQ(d.Mode(), mode) << button->objectName().toStdString();
    }
    // Every control has a visible text.
    for (QAbstractButton* b : d.findChildren<QAbstractButton*>())
        EXPECT_FALSE(b->text().isEmpty()) << b->objectName().toStdString();

    // The dialog's message list gives the conversion its translated words.
    TLineEndingTexts texts;
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<T_Carrage*>(w); form && form->isVisible()) {
                form->msl->SetText(0, QStringLiteral("Schreibfehler"));
                form->rbCR->click();
                form->reject(); // Escape
            }
    });
    EXPECT_EQ(AskLineEnding(nullptr, &texts), lineend::NoChange);
    EXPECT_EQ(texts.WriteFileError, QStringLiteral("Schreibfehler"));
    EXPECT_EQ(texts.NotText, TLineEndingTexts().NotText);
}
