#pragma once

#include <QByteArray>
#include <QMap>
#include <QRegularExpression>
#include <QString>

#include <archive.h>
#include <archive_entry.h>

// The API signature files of the installed JDK (lib/ct.sym, a ZIP archive) whose entry names
// match the pattern, keyed by entry name. Entries are small; larger ones are not taken.
inline QMap<QString, QByteArray> readSignatureFiles(const QString& ctSym,
                                                    const QRegularExpression& pattern)
{
    const la_int64_t maxEntrySize = 1024 * 1024;
    QMap<QString, QByteArray> found;
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    if (archive_read_open_filename(a, ctSym.toLocal8Bit().constData(), 64 * 1024) != ARCHIVE_OK) {
        archive_read_free(a);
        return found;
    }
    archive_entry* entry = nullptr;
    while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
        const QString name = QString::fromUtf8(archive_entry_pathname(entry));
        const la_int64_t size = archive_entry_size(entry);
        if (!pattern.match(name).hasMatch() || size < 0 || size > maxEntrySize)
            continue;
        QByteArray bytes(int(size), '\0');
        if (archive_read_data(a, bytes.data(), size_t(size)) == la_ssize_t(size))
            found.insert(name, bytes);
    }
    archive_read_free(a);
    return found;
}
