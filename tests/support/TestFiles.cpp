#include "support/TestFiles.h"

#include "store/ContactStore.h"

#include <QFile>
#include <QTest>
#include <exception>

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

QByteArray sealed(QByteArray bytes)
{
    const quint32 sum = ContactStore::fileChecksum(bytes.constData(), bytes.size());
    for (int i = 0; i < 4; ++i)
        bytes.append(char(sum >> (8 * i)));
    return bytes;
}

QByteArray resealed(const QByteArray &bytes)
{
    return sealed(bytes.chopped(4));
}
