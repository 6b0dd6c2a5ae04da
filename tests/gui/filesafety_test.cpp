// Files off the keyboard's path: a write that fails in any way keeps the previous file and
// says so, only regular files open (at once, whatever the path), a name that is not UTF-8
// opens and saves, and unsaved forms outlive a crash.
#include "app/ombrix.h"
#include "app/recoveryfile.h"
#include "core/model/recoverynames.h"
#include "core/model/settingsfile.h"
#include "gui/charts/chartmenu.h"
#include "gui/common/localfiles.h"
#include "gui/common/recentforms.h"
#include "typing.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

namespace ombrix {
namespace {

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class FileSafetyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile::remove(RecentForms::storeFileName());
        QDir(RecoveryFile::defaultFolder()).removeRecursively();
        w = makeWindow();
    }
    void TearDown() override {
        if (w)
            w->calculation().finishCalculation();
    }

    // The forms in a recovery file (the defaults' frequency "" when it cannot be read).
    static FormsConfig keptForms(const QString& path) {
        FormsConfig forms;
        forms.General.Freq.clear();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return forms;
        const QByteArray image = file.readAll();
        FormsConfig read;
        if (decodeForms(std::span(reinterpret_cast<const unsigned char*>(image.constData()),
                                  static_cast<std::size_t>(image.size())),
                        '.', read))
            return forms;
        return read;
    }
    std::unique_ptr<TOmbrix> makeWindow() {
        auto window = std::make_unique<TOmbrix>();
        window->setMessageHandler(
            [this](const QString& text, const QString&) { messages.push_back(text); });
        TOmbrix::Prompts p;
        p.askYesNo = [](const QString&, const QString&) { return false; };
        p.openFileName = [this] { return openName; };
        p.saveFileName = [this] { return saveName; };
        p.exportFileName = [this] { return saveName; };
        p.chartFileName = [this] { return saveName; };
        window->setPrompts(p);
        window->show();
        QApplication::setActiveWindow(window.get());
        window->calculation().finishCalculation();
        return window;
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Types `text` into the frequency field and leaves it (a committed change) unless told not.
    void typeFrequency(const QString& text, testkit::Leave leave = testkit::Leave::WithTab) {
        testkit::typeInto(*w, 0, w->general().Freq, text, leave);
    }
    void drop(const QUrl& url) {
        QMimeData data;
        data.setUrls({url});
        const QPoint at = w->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.get(), &enter);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.get(), &dropped);
        QCoreApplication::processEvents(); // the file opens once the drop has ended
        w->calculation().finishCalculation();
    }
    QList<QAction*> unsavedEntries() const {
        QList<QAction*> entries;
        for (QAction* item : w->actions().recentMenu->actions())
            if (item->text().startsWith("Unsaved forms of "))
                entries << item;
        return entries;
    }

    QTemporaryDir dir;
    std::unique_ptr<TOmbrix> w;
    std::vector<QString> messages;
    QString openName, saveName;
};

TEST_F(FileSafetyTest, AFailedWriteKeepsThePreviousFileAndSaysWhy) {
    struct Writer {
        const char* file;
        std::function<void()> write;
    };
    const Writer writers[] = {
        {"forms.set", [this] { w->document().SaveAs(); }},
        {"samples.csv", [this] { w->actions().exportSamples->trigger(); }},
        {"chart.svg", [this] { w->chartMenu()->SaveChart->trigger(); }},
    };
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_IGN); // past the limit a write fails with EFBIG: a full disk
    struct Failure {
        const char* error;
        std::function<void(const QString&file)> arm, disarm;
    };
    const Failure failures[] = {
        {"File too large",
         [&saved](const QString&) {
             const rlimit small{1024, saved.rlim_max};
             ::setrlimit(RLIMIT_FSIZE, &small);
         },
         [&saved](const QString&) { ::setrlimit(RLIMIT_FSIZE, &saved); }},
        {"Is a directory",
         [](const QString& file) {
             QFile::remove(file);
             QDir().mkdir(file);
         },
         [](const QString& file) { QDir(file).removeRecursively(); }},
    };
    int frequency = 100;
    for (const Writer& writer : writers)
        for (const Failure& failure : failures) {
            const QString file = path(writer.file);
            const std::string where = std::string(writer.file) + ", " + failure.error;
            saveName = file;
            writer.write(); // the previous file
            ASSERT_TRUE(messages.empty()) << where << ": " << messages[0].toStdString();
            const std::string before = contents(file.toStdString());
            QFile::remove(RecentForms::storeFileName());
            typeFrequency(QString::number(++frequency)); // different forms and samples

            failure.arm(file);
            writer.write();
            failure.disarm(file);

            ASSERT_EQ(messages.size(), 1u) << where;
            EXPECT_TRUE(messages[0].contains('"' + file + '"')) << messages[0].toStdString();
            EXPECT_TRUE(messages[0].endsWith(failure.error)) << messages[0].toStdString();
            if (failure.error == std::string("File too large")) {
                EXPECT_EQ(contents(file.toStdString()), before) << where;
            }
            EXPECT_TRUE(w->document().recentForms()->files().isEmpty()) << where;
            EXPECT_FALSE(w->document().formsHistory().atSaved()) << where;
            EXPECT_TRUE(w->document().isModified()) << where;
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).filter(".tmp").size(), 0) << where;
            messages.clear();
        }
}

TEST_F(FileSafetyTest, OnlyRegularFilesOpenAndOthersAreRefusedAtOnce) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.set")).constData(), 0600), 0);
    QDir().mkdir(path("folder.set"));
    const FormsConfig before = w->document().forms();
    using Open = std::function<void(const QString&)>;
    const std::pair<const char*, Open> paths[] = {
        {"command line", [this](const QString& name) { w->document().openFile(name); }},
        {"Open",
         [this](const QString& name) {
             openName = name;
             w->actions().open->trigger();
         }},
        {"drop", [this](const QString& name) { drop(QUrl::fromLocalFile(name)); }},
    };
    // A FIFO with no writer blocked the program in open() for good: the alarm fails the test
    // rather than letting it hang.
    ::alarm(20);
    for (const auto& [how, open] : paths)
        for (const QString& name : {path("fifo.set"), path("folder.set"), QString("/dev/null")}) {
            open(name);
            ASSERT_EQ(messages.size(), 1u) << how << " " << name.toStdString();
            EXPECT_TRUE(messages[0].startsWith("Could not open \"" + name + "\": it is a"))
                << messages[0].toStdString();
            EXPECT_TRUE(messages[0].endsWith(", not a file")) << messages[0].toStdString();
            EXPECT_EQ(w->document().forms(), before);
            EXPECT_TRUE(w->document().currentFileName().isEmpty());
            messages.clear();
        }
    ::alarm(0);
}

TEST_F(FileSafetyTest, ANameThatIsNotUtf8OpensSavesAndIsListed) {
    // "forms-\xff\xfe.set": no UTF-8 text has these bytes, so Qt's own decoding loses them.
    const QByteArray raw = QFile::encodeName(dir.path()) + "/forms-\xff\xfe.set";
    FormsConfig forms = newForms();
    forms.General.Freq = "432";
    const std::vector<unsigned char> image = encodeForms(forms);
    std::ofstream(raw.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));

    // Dropped, the address carries the bytes percent-encoded.
    drop(QUrl::fromEncoded("file://" + raw.toPercentEncoding("/")));
    ASSERT_TRUE(messages.empty()) << messages[0].toStdString();
    EXPECT_EQ(w->general().Freq->text(), "432");
    EXPECT_EQ(encodeFileName(w->document().currentFileName()), raw.toStdString());

    typeFrequency("433");
    w->actions().save->trigger();
    EXPECT_TRUE(messages.empty());
    FormsConfig saved;
    EXPECT_EQ(decodeForms(std::span(reinterpret_cast<const unsigned char*>(
                                        contents(raw.toStdString()).data()),
                                    kFormsFileSize),
                          w->decimalSeparator(), saved),
              std::nullopt);
    EXPECT_EQ(saved.General.Freq, "433");
    const auto files = std::filesystem::directory_iterator(dir.path().toStdString());
    EXPECT_EQ(std::distance(begin(files), end(files)), 1); // the same file, no other

    // The recent list and the command line name it by the same bytes.
    ASSERT_FALSE(w->document().recentForms()->files().isEmpty());
    EXPECT_EQ(encodeFileName(w->document().recentForms()->files().first()), raw.toStdString());
    const char* argv[] = {"ombrix", raw.constData()};
    typeFrequency("434");
    EXPECT_TRUE(w->document().openFile(fileSystemArguments(2, argv).at(1)));
    w->calculation().finishCalculation();
    EXPECT_EQ(w->general().Freq->text(), "433");
    std::filesystem::remove(raw.toStdString()); // QTemporaryDir cannot name it
}

TEST_F(FileSafetyTest, UnsavedFormsOfAKilledSessionAreOfferedAndOpen) {
    QProcess child;
    child.start(OMBRIX_RECOVERY_CHILD, QStringList{});
    ASSERT_TRUE(child.waitForReadyRead(60000)) << child.readAllStandardError().toStdString();
    const QString kept = QFile::decodeName(child.readLine().trimmed());
    ASSERT_TRUE(QFile::exists(kept)) << kept.toStdString();
    child.kill(); // SIGKILL: nothing of the session's own ending runs
    ASSERT_TRUE(child.waitForFinished(10000));

    w.reset(); // the next start
    w = makeWindow();
    EXPECT_TRUE(w->statusBar()->currentMessage().startsWith("Unsaved forms of "))
        << w->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(w->general().Freq->text(), "1000"); // the defaults, as at every start
    const QList<QAction*> entries = unsavedEntries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0]->data().toString(), kept);

    entries[0]->trigger(); // an ordinary Open, but the forms stay unsaved
    w->calculation().finishCalculation();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(w->general().Freq->text(), "777");
    EXPECT_TRUE(w->document().currentFileName().isEmpty());
    EXPECT_FALSE(w->document().formsHistory().atSaved());
    const QString own = w->document().recovery().path();
    EXPECT_TRUE(QFile::exists(own)); // now this session keeps them
    EXPECT_FALSE(QFile::exists(kept));
    EXPECT_TRUE(unsavedEntries().isEmpty());

    saveName = path("recovered.set");
    w->document().SaveAs();
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(QFile::exists(own)); // saved: nothing left to recover
    EXPECT_TRUE(QDir(RecoveryFile::defaultFolder()).isEmpty());

    // New clears what is not saved; Open asks nothing and keeps it; so does Exit.
    typeFrequency("778");
    EXPECT_TRUE(QFile::exists(own));
    w->actions().newForms->trigger();
    w->calculation().finishCalculation();
    EXPECT_FALSE(QFile::exists(own));
    typeFrequency("779");
    EXPECT_TRUE(w->document().openFile(saveName));
    w->calculation().finishCalculation();
    EXPECT_TRUE(QFile::exists(own));
    typeFrequency("780");
    const QString last = w->document().recovery().path();
    EXPECT_NE(last, own);
    w.reset();
    EXPECT_TRUE(QFile::exists(own));
    EXPECT_TRUE(QFile::exists(last));
}

// A field typed into and not left, when the forms go or are replaced without any action that
// would commit it: closing the window by its title bar (or Alt+F4, or the session's end),
// opening by name (the recent list, the command line, a remote client) and a drop. The forms
// kept for the next start hold what the field showed.
TEST_F(FileSafetyTest, AFieldNotYetLeftIsKeptWhenTheFormsGoWithoutAnAction) {
    const QString other = path("other.set");
    {
        const std::vector<unsigned char> image = encodeForms(FormsConfig{});
        std::ofstream(other.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
    }
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"close", [this] { w->close(); }},
        {"open by name", [&] { w->document().openFile(other); }},
        {"drop", [&] { drop(QUrl::fromLocalFile(other)); }},
    };
    for (const auto& [way, act] : ways) {
        SCOPED_TRACE(way);
        w = makeWindow();
        typeFrequency("555", testkit::Leave::No);
        const QString kept = w->document().recovery().path();
        act();
        EXPECT_EQ(keptForms(kept).General.Freq, "555");
    }
}

// A shutdown's SIGTERM (or Ctrl+C, or the terminal closed) closes the program as File, Exit
// does: a field typed into and not left, or forms whose New question is still open, are in
// the forms kept for the next start. Started under nohup, SIGHUP stays ignored.
TEST_F(FileSafetyTest, ASessionEndedBySigtermKeepsWhatItShows) {
    const std::pair<const char*, const char*> cases[] = {{"--typed", "555"},
                                                         {"--new-question", "777"}};
    for (const auto& [mode, frequency] : cases) {
        SCOPED_TRACE(mode);
        QProcess child;
        const auto hangUp = std::signal(SIGHUP, SIG_IGN); // as nohup starts it
        child.start(OMBRIX_RECOVERY_CHILD, QStringList{mode});
        std::signal(SIGHUP, hangUp);
        ASSERT_TRUE(child.waitForReadyRead(60000)) << child.readAllStandardError().toStdString();
        const QString kept = QFile::decodeName(child.readLine().trimmed());
        ::kill(static_cast<pid_t>(child.processId()), SIGHUP);
        EXPECT_FALSE(child.waitForFinished(500)) << "SIGHUP ignored under nohup";
        child.terminate(); // SIGTERM
        ASSERT_TRUE(child.waitForFinished(10000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0);
        EXPECT_EQ(keptForms(kept).General.Freq, frequency);
    }
}

TEST_F(FileSafetyTest, OnlyTheFiveNewestUnsavedFormsAreKept) {
    const QString folder = RecoveryFile::defaultFolder();
    QDir().mkpath(folder);
    const std::vector<unsigned char> image = encodeForms(newForms());
    QStringList names;
    for (int k = 1; k <= 7; ++k) {
        // Process ids beyond any system's range: ended sessions.
        names << QString::fromStdString(recoveryFileName({k * 1000, 2100000000 + k}));
        std::ofstream((folder + '/' + names.back()).toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    }
    w.reset();
    w = makeWindow();
    EXPECT_EQ(unsavedEntries().size(), 5);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files),
              (QStringList{names[2], names[3], names[4], names[5], names[6]}));
}

} // namespace
} // namespace ombrix
