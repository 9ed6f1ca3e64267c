#pragma once
// Small file and error helpers shared by the tests.

#include <QByteArray>
#include <QString>
#include <functional>

// The file's bytes; empty when it cannot be read.
QByteArray fileBytes(const QString &path);
// Writes the bytes over the file; a failure fails the running test.
void writeFileBytes(const QString &path, const QByteArray &bytes);
// The message of the exception the action throws; empty when it throws none.
QString errorOf(const std::function<void()> &action);
// Data-file bytes with a valid checksum: `sealed` appends one to bytes that have none,
// `resealed` replaces the last four bytes with the checksum of the rest.
QByteArray sealed(QByteArray bytes);
QByteArray resealed(const QByteArray &bytes);
