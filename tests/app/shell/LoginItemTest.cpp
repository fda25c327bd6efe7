#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "UKLoginItemRegistry.h"

namespace {

QStringList Entries() {
    return QDir(UKLoginItemRegistry::autostartFolder())
        .entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
}

TEST(LoginItems, AddedTwiceAndDeletedAsOne) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    // A program whose path needs quoting.
    QTemporaryDir install;
    const QString program = install.filePath(QStringLiteral("my $app/harbex"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(program).path()));
    QFile(program).open(QIODevice::WriteOnly);
    ASSERT_EQ(UKLoginItemRegistry::autostartFolder(), config.path() + "/autostart");

    const UKLoginItemRegistry registry(program);
    ASSERT_TRUE(registry.addAppAsLoginItem());
    ASSERT_TRUE(registry.addAppAsLoginItem());
    EXPECT_EQ(Entries(), (QStringList{"harbex-2.desktop", "harbex.desktop"}));

    // Someone else's login item stays.
    QFile other(config.path() + "/autostart/other.desktop");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("[Desktop Entry]\nType=Application\nExec=/usr/bin/other --quiet\n");
    other.close();

    EXPECT_TRUE(registry.deleteAppFromLoginItem());
    EXPECT_EQ(Entries(), QStringList{"other.desktop"});
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(LoginItems, TheProgramOfAnExecLine) {
    const std::pair<QString, QString> cases[] = {
        {"/usr/bin/other --quiet", "/usr/bin/other"},
        {R"("/opt/my app/harbex" %u)", "/opt/my app/harbex"},
        {R"("/opt/a \"b\" \$c \\d")", R"(/opt/a "b" $c \d)"},
        {R"("/opt/unclosed)", ""},
        {"", ""},
    };
    for (const auto& [exec, program] : cases)
        EXPECT_EQ(UKLoginItemRegistry::programOfExec(exec), program) << exec.toStdString();
}

}  // namespace
