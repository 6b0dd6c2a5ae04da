// Opening forms the way the desktop does: by name (the command line), by dropping a file on
// the window, and from the "Recent forms" submenu; with the dialogs answered by the test.
#include "app/ombrix.h"
#include "gui/common/recentforms.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace ombrix {
namespace {

class DesktopFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QSettings(QSettings::UserScope, "Ombrix", "Ombrix").clear();
        w = std::make_unique<TOmbrix>();
        w->setMessageHandler([this](const QString& text, const QString& caption) {
            messages.push_back((caption + ": " + text).toStdString());
        });
        TOmbrix::Prompts p;
        p.askYesNo = [this](const QString& text, const QString&) {
            questions.push_back(text.toStdString());
            return false;
        };
        p.openFileName = [this] { return openName; };
        p.saveFileName = [this] { return saveName; };
        w->setPrompts(p);
        w->finishCalculation();
    }
    void TearDown() override { w->finishCalculation(); }
    QString path(const QString& name) const { return dir.filePath(name); }

    // Saves the forms with output 2 active under `name` and returns to the start-up forms.
    void saveForms(const QString& name, const char* freq = "500") {
        TOmbrix other;
        other.setMessageHandler([](const QString&, const QString&) {});
        other.general().Freq->setText(freq);
        other.general().activeBox[1]->click();
        TOmbrix::Prompts p;
        p.saveFileName = [&name] { return name; };
        other.setPrompts(p);
        other.SaveAs();
        other.finishCalculation();
    }
    void writeBytes(const QString& name, const QByteArray& bytes) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // Drags `file` over `target` and drops it there; true when the drop was taken.
    bool drop(QWidget* target, const QString& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        data.setText(QUrl::fromLocalFile(file).toString()); // as file managers send it
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        QCoreApplication::processEvents(); // the file opens once the drop has ended
        w->finishCalculation();
        return dropped.isAccepted();
    }
    QStringList recentEntries() {
        w->recentForms()->refresh();
        QStringList texts;
        for (QAction* a : w->findChild<QMenu*>("RecentForms1")->actions())
            texts << a->data().toString();
        return texts;
    }

    QTemporaryDir dir;
    std::unique_ptr<TOmbrix> w;
    std::vector<std::string> messages, questions;
    QString openName, saveName;
};

TEST_F(DesktopFilesTest, OpenByNameLoadsAndRefusesLikeOpen) {
    saveForms(path("good.set"));
    writeBytes(path("short.set"), QByteArray(100, 'x'));

    // A refused file gives the same message whichever way it was named, and leaves the forms.
    w->output(0).offset->setText("2");
    const FormsConfig before = w->forms();
    for (const char* name : {"short.set", "missing.set"}) {
        openName = path(name);
        w->Open();
        EXPECT_FALSE(w->openFile(path(name)));
        ASSERT_EQ(messages.size(), 2u) << name;
        EXPECT_EQ(messages[0], messages[1]);
        EXPECT_EQ(messages[0].rfind("Error: ", 0), 0u);
        EXPECT_EQ(w->forms(), before);
        messages.clear();
    }

    EXPECT_TRUE(w->openFile(path("good.set")));
    w->finishCalculation();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(w->forms().General.Freq, "500");
    EXPECT_EQ(w->ActiveCount(), 2);
    EXPECT_EQ(w->currentFileName(), path("good.set"));
    EXPECT_TRUE(w->menuAction("Save1")->isEnabled());
    EXPECT_TRUE(w->isModified()); // as Open: the next New asks its question
    EXPECT_EQ(w->calculationRequests().back(), std::make_pair(0, 5));
}

TEST_F(DesktopFilesTest, DroppedFileOpensAnywhereWithTheSaveQuestionWhenModified) {
    saveForms(path("a.set"), "700");
    saveForms(path("b.set"), "800");

    // On a clean window: no question. Dropped on an edit, the file opens and its address is
    // not typed into the edit.
    ASSERT_TRUE(drop(w->general().Freq, path("a.set")));
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(w->general().Freq->text(), "700");
    EXPECT_EQ(w->currentFileName(), path("a.set"));

    // Modified: New's question first, then the file opens whatever the answer.
    w->pages()->setCurrentIndex(3);
    ASSERT_TRUE(drop(w.get(), path("b.set")));
    EXPECT_EQ(questions, std::vector<std::string>{"Would you like to save this forms?"});
    EXPECT_EQ(w->forms().General.Freq, "800");

    // A malformed file is refused with Open's message.
    writeBytes(path("bad.set"), "no forms");
    ASSERT_TRUE(drop(w.get(), path("bad.set")));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("is not a forms settings file"), std::string::npos);
    EXPECT_EQ(w->forms().General.Freq, "800");

    // Plain text still drops into an edit; only files are taken by the window.
    QMimeData text;
    text.setText("123");
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QCoreApplication::sendEvent(w->general().Freq, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_FALSE(drop(w.get(), "")); // no local file: not taken
}

TEST_F(DesktopFilesTest, RecentFormsKeepTheLastEightNewestFirstAndGreyMissingOnes) {
    // The tests keep their settings in a temporary folder, never the user's.
    const QString store = QSettings(QSettings::UserScope, "Ombrix", "Ombrix").fileName();
    EXPECT_TRUE(store.startsWith(QDir::tempPath())) << store.toStdString();
    EXPECT_FALSE(w->findChild<QMenu*>("RecentForms1")->isEnabled()); // nothing yet

    QStringList names;
    for (int k = 0; k < 10; ++k)
        names << path(QStringLiteral("f%1 & co.set").arg(k));
    for (const QString& name : names)
        saveForms(name);
    for (const QString& name : names)
        w->openFile(name);
    saveName = path("saved.set");
    w->SaveAs();                      // a saved file counts too
    w->openFile(names[7]);            // opened again: moves to the front, once
    w->openFile(path("missing.set")); // refused: not listed
    w->finishCalculation();
    const QStringList expected{names[7], path("saved.set"), names[9], names[8],
                               names[6], names[5],          names[4], names[3]};
    EXPECT_EQ(recentEntries(), expected);

    QMenu* menu = w->findChild<QMenu*>("RecentForms1");
    EXPECT_TRUE(menu->isEnabled());
    EXPECT_EQ(menu->title(), "&Recent forms");
    // It stands above the separator before "Exit".
    const QList<QAction*> items = qobject_cast<QMenu*>(menu->parent())->actions();
    ASSERT_GE(items.size(), 3);
    EXPECT_EQ(items[items.size() - 3], menu->menuAction());
    EXPECT_TRUE(items[items.size() - 2]->isSeparator());

    // A deleted file stays, greyed out; choosing a listed file opens it.
    QFile::remove(names[9]);
    recentEntries();
    const QList<QAction*> actions = menu->actions();
    EXPECT_EQ(actions[0]->text(), "&1 " + QDir::toNativeSeparators(names[7]).replace("&", "&&"));
    for (QAction* a : actions)
        EXPECT_EQ(a->isEnabled(), a->data().toString() != names[9]) << a->text().toStdString();
    saveForms(names[3], "321");
    actions[7]->trigger();
    w->finishCalculation();
    EXPECT_EQ(w->forms().General.Freq, "321");
    EXPECT_EQ(w->currentFileName(), names[3]);

    // Another window (a later run) reads the same list.
    TOmbrix later;
    later.recentForms()->refresh();
    EXPECT_EQ(later.recentForms()->files().first(), names[3]);
    later.finishCalculation();
}

} // namespace
} // namespace ombrix
