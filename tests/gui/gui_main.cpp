// Entry point of the offscreen GUI tests: one QApplication for all of them.
#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The windows keep recent files and unsaved forms in the user's folders: the tests keep
    // theirs in a folder of their own, never the user's.
    QTemporaryDir settings;
    for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, scope, settings.path());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(settings.filePath("data")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
