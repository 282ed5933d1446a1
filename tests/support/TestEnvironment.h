#pragma once

#include <QCryptographicHash>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// Points XDG data and config homes at a private temporary folder for the life of the test
// process, so no test reads or writes the user's files or another test's.
class TestEnvironment {
public:
    TestEnvironment();
    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    [[nodiscard]] static QString root();
    [[nodiscard]] static QString dataHome();
    [[nodiscard]] static QString configHome();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

// A reference SHA-256 in lower-case hex, from Qt rather than the application's own.
inline std::optional<QString> sha256(const QByteArray &content)
{
    return QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
}

// A test's main: the private environment first, then the application object and what the test
// needs set up in it.
#define LUMARO_TEST_MAIN_WITH(Application, TestObject, ...)                                                  \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        TestEnvironment environment;                                                                         \
        Application app(argc, argv);                                                                         \
        __VA_ARGS__;                                                                                         \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
#define LUMARO_TEST_MAIN(TestObject) LUMARO_TEST_MAIN_WITH(QCoreApplication, TestObject)
