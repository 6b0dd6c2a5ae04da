// Entry point of the offscreen GUI tests: one QApplication for all of them.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The windows keep recent files in the user's settings: the tests keep theirs in a
    // folder of their own, never the user's.
    QTemporaryDir settings;
    for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, scope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
