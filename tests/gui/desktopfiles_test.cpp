// Opening forms the way the desktop does: by name (the command line), by dropping a file on
// the window, and from the "Recent forms" submenu; with the dialogs answered by the test.
#include "app/commandline.h"
#include "app/ombrix.h"
#include "calcrequests.h"
#include "core/model/settingsfile.h"
#include "gui/common/recentforms.h"
#include "menupicture.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
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
        QFile::remove(RecentForms::storeFileName());
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
        p.saveFileName = [this] { return path("saved.set"); };
        w->setPrompts(p);
        w->calculation().finishCalculation();
    }
    void TearDown() override { w->calculation().finishCalculation(); }
    QString path(const QString& name) const { return dir.filePath(name); }

    // A settings file of the New forms with output 2 active and frequency `freq`.
    QString writeForms(const QString& name, const char* freq) {
        FormsConfig f = newForms();
        f.General.Freq = freq;
        f.General.Active[1] = true;
        const std::vector<unsigned char> image = encodeForms(f);
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(image.data()), qint64(image.size()));
        return path(name);
    }
    // Drags `file` over `target` and drops it there, as a file manager does.
    void drop(QWidget* target, const QString& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        data.setText(QUrl::fromLocalFile(file).toString());
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        QCoreApplication::processEvents(); // the file opens once the drop has ended
        w->calculation().finishCalculation();
    }

    QTemporaryDir dir;
    std::unique_ptr<TOmbrix> w;
    std::vector<std::string> messages, questions;
    QString openName;
};

// What the command line asks for; Qt's own options are left to QApplication, not taken for
// the file or refused.
TEST(CommandLineTest, ReadsTheFileHelpAndVersionAndRefusesWhatItDoesNotKnow) {
    using Action = CommandLine::Action;
    struct Case {
        QStringList args;
        Action action;
        QString file = "";
        QString errorPart = "";
        bool remote = false;
        quint16 remotePort = 0;
    };
    const Case cases[] = {
        {{}, Action::Run},
        {{"a.set"}, Action::Run, "a.set"},
        {{"--", "-odd.set"}, Action::Run, "-odd.set"},
        {{"-platform", "offscreen", "a.set"}, Action::Run, "a.set"},
        {{"--style=fusion", "-reverse", "a.set"}, Action::Run, "a.set"},
        {{"--help"}, Action::ShowHelp},
        {{"a.set", "-h"}, Action::ShowHelp},
        {{"--version"}, Action::ShowVersion},
        {{"-v", "a.set"}, Action::ShowVersion},
        {{"--frobnicate"}, Action::Refuse, "", "frobnicate"},
        {{"--help", "--frobnicate"}, Action::Refuse, "", "frobnicate"},
        {{"-x", "a.set"}, Action::Refuse, "", "'x'"},
        {{"-platform"}, Action::Refuse, "", "platform"},
        {{"a.set", "b.set"}, Action::Refuse, "", "b.set"},
        {{"--remote"}, Action::Run, "", "", true},
        {{"--remote=5025", "a.set"}, Action::Run, "a.set", "", true, 5025},
        {{"--", "--remote"}, Action::Run, "--remote"},
        {{"--remote=0"}, Action::Refuse, "", "'0' is no port"},
        {{"--remote=port", "a.set"}, Action::Refuse, "", "'port' is no port"},
        {{"--remote", "b.set", "a.set"}, Action::Refuse, "", "b.set"},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(QStringList{"ombrix"} + c.args);
        const std::string joined = c.args.join(' ').toStdString();
        EXPECT_EQ(line.action, c.action) << joined << ": " << line.error.toStdString();
        EXPECT_EQ(line.file, c.file) << joined;
        if (c.action == Action::Run) {
            EXPECT_EQ(line.remote, c.remote) << joined;
            EXPECT_EQ(line.remotePort, c.remotePort) << joined;
        }
        EXPECT_TRUE(line.error.contains(c.errorPart)) << joined << ": " << line.error.toStdString();
        EXPECT_EQ(line.error.isEmpty(), c.action != Action::Refuse) << joined;
        EXPECT_FALSE(line.error.contains('\n')) << joined;
    }
    // Help names the program as installed and lists the options, never Qt's hidden ones.
    const QString help = commandLineHelp();
    EXPECT_TRUE(help.startsWith("Usage: ombrix [options] [file]\n")) << help.toStdString();
    for (const char* shown : {"--help", "--version", "-h", "-v", "--remote[=PORT]", "file"})
        EXPECT_TRUE(help.contains(shown)) << shown;
    EXPECT_FALSE(help.contains("platform"));
    EXPECT_TRUE(commandLineVersion().startsWith("ombrix ")) << commandLineVersion().toStdString();
}

TEST_F(DesktopFilesTest, OpenByNameLoadsAndRefusesLikeOpen) {
    QFile(writeForms("short.set", "1")).resize(100);
    const FormsConfig before = w->document().forms();
    for (const char* name : {"short.set", "missing.set"}) {
        openName = path(name);
        w->document().Open();
        EXPECT_FALSE(w->document().openFile(path(name)));
        ASSERT_EQ(messages.size(), 2u) << name;
        EXPECT_EQ(messages[0], messages[1]); // the same refusal either way
        EXPECT_EQ(w->document().forms(), before);
        messages.clear();
    }
    testkit::CalcRequests requests(w->calculation());
    EXPECT_TRUE(w->document().openFile(writeForms("good.set", "500")));
    w->calculation().finishCalculation();
    EXPECT_EQ(w->general().Freq->text(), "500");
    EXPECT_EQ(w->document().ActiveCount(), 2);
    EXPECT_EQ(w->document().currentFileName(), path("good.set"));
    EXPECT_TRUE(w->actions().save->isEnabled());
    EXPECT_EQ(requests.list.back(), std::make_pair(0, 5));
}

TEST_F(DesktopFilesTest, DroppedFileOpensWithTheSaveQuestionWhenModified) {
    // Clean forms: no question. Dropped on an edit, the file opens rather than its address
    // being typed into the edit.
    drop(w->general().Freq, writeForms("a.set", "700"));
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(w->general().Freq->text(), "700");
    EXPECT_EQ(w->document().currentFileName(), path("a.set"));

    w->pages()->setCurrentIndex(3); // modified
    drop(w.get(), writeForms("b.set", "800"));
    EXPECT_EQ(questions, std::vector<std::string>{"Would you like to save this forms?"});
    EXPECT_EQ(w->general().Freq->text(), "800");
}

TEST_F(DesktopFilesTest, RecentFormsKeepTheLastEightNewestFirstAndGreyMissingOnes) {
    const QString store = RecentForms::storeFileName();
    EXPECT_TRUE(store.startsWith(QDir::tempPath())) << "never the user's settings";
    QMenu* menu = w->findChild<QMenu*>("RecentForms1");
    EXPECT_FALSE(menu->isEnabled());

    QStringList names;
    for (int k = 0; k < 10; ++k)
        names << writeForms(QStringLiteral("f%1 & co.set").arg(k), "321");
    for (const QString& name : names)
        w->document().openFile(name);
    w->document().SaveAs();                      // a saved file counts too
    w->document().openFile(names[7]);            // opened again: moves to the front, once
    w->document().openFile(path("missing.set")); // refused: not listed
    w->calculation().finishCalculation();
    QFile::remove(names[9]);
    w->document().recentForms()->refresh();

    const QStringList expected{names[7], path("saved.set"), names[9], names[8],
                               names[6], names[5],          names[4], names[3]};
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), expected.size());
    for (int k = 0; k < items.size(); ++k) {
        EXPECT_EQ(items[k]->data().toString(), expected[k]) << k;
        EXPECT_EQ(items[k]->isEnabled(), k != 2) << k; // names[9] is gone: greyed out
    }
    EXPECT_EQ(items[0]->text(), "&1 " + QDir::toNativeSeparators(names[7]).replace("&", "&&"));
    items[7]->trigger();
    EXPECT_EQ(w->document().currentFileName(), names[3]);

    // Above the separator before "Exit".
    const QList<QAction*> file = qobject_cast<QMenu*>(menu->parent())->actions();
    ASSERT_GE(file.size(), 3);
    EXPECT_EQ(file[file.size() - 3], menu->menuAction());
    EXPECT_TRUE(file[file.size() - 2]->isSeparator());

    auto* fileMenu = qobject_cast<QMenu*>(menu->parent());
    fileMenu->popup(
        w->mapToGlobal(w->menuBar()->actionGeometry(fileMenu->menuAction()).bottomLeft()));
    QCoreApplication::processEvents();
    const QRect item = fileMenu->actionGeometry(menu->menuAction());
    menu->popup(fileMenu->mapToGlobal(item.topRight()));
    testkit::saveWindowPicture(w.get(), {fileMenu, menu}, "recent-forms");
    menu->hide();
    fileMenu->hide();
    EXPECT_EQ(file.back(), w->actions().exit);
}

} // namespace
} // namespace ombrix
