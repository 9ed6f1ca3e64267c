// Replays the fuzzing corpus (fuzz/corpus/<target>/) through the same harness the fuzzers use:
// seeds, inputs the fuzzers found interesting and any input that once crashed must all be
// handled, with nothing thrown but the store's own refusal.
#include "../fuzz/FuzzHarness.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <exception>

class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void corpus_data();
    void corpus();
};

static QString corpusRoot()
{
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../fuzz/corpus");
}

void TestFuzzReplay::corpus_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    for (const QString target : {QStringLiteral("datafile"), QStringLiteral("filter"), QStringLiteral("markup")}) {
        const QDir dir(corpusRoot() + QLatin1Char('/') + target);
        const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name);
        if (files.isEmpty())
            QTest::newRow(qPrintable(target + QStringLiteral("/(missing)"))) << target << QString();
        for (const QFileInfo &file : files)
            QTest::newRow(qPrintable(target + QLatin1Char('/') + file.fileName()))
                << target << file.absoluteFilePath();
    }
}

void TestFuzzReplay::corpus()
{
    QFETCH(QString, target);
    QFETCH(QString, path);
    QVERIFY2(!path.isEmpty(), qPrintable(QStringLiteral("no corpus files for %1 under %2")
                                             .arg(target, corpusRoot())));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray bytes = file.readAll();

    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    QString problem;
    try {
        if (target == QLatin1String("datafile"))
            problem = fuzzharness::runDataFile(bytes, scratch.filePath(QStringLiteral("input.dat")));
        else if (target == QLatin1String("filter"))
            problem = fuzzharness::runFilter(bytes);
        else
            problem = fuzzharness::runMarkup(bytes);
    } catch (const std::exception &e) {
        QFAIL(qPrintable(QStringLiteral("unexpected exception: %1").arg(QString::fromUtf8(e.what()))));
    }
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

QTEST_MAIN(TestFuzzReplay)
#include "tst_fuzzreplay.moc"
