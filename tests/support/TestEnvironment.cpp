#include "TestEnvironment.h"

#include <QDir>

namespace {
QString g_root;
}

TestEnvironment::TestEnvironment() : m_dir(std::make_unique<QTemporaryDir>())
{
    g_root = m_dir->path();
    QDir(g_root).mkpath(QStringLiteral("data"));
    QDir(g_root).mkpath(QStringLiteral("config"));
    qputenv("XDG_DATA_HOME", dataHome().toUtf8());
    qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
    qputenv("XDG_CACHE_HOME", (g_root + QStringLiteral("/cache")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

QString TestEnvironment::root()
{
    return g_root;
}

QString TestEnvironment::dataHome()
{
    return g_root + QStringLiteral("/data");
}

QString TestEnvironment::configHome()
{
    return g_root + QStringLiteral("/config");
}
