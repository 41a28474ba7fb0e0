#include "forms/qt/FileFilter.h"

QStringList QtNameFilters(const std::string &filter) {
    QStringList out;
    const QStringList parts = QString::fromStdString(filter).split('|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : parts[i + 1].split(';')) {
            const QString t = p.trimmed();
            if (!t.isEmpty())
                patterns << t;
        }
        if (patterns.isEmpty())
            continue;
        const QString desc = parts[i].trimmed().isEmpty() ? patterns.join(' ') : parts[i].trimmed();
        out << desc + " (" + patterns.join(' ') + ")";
    }
    return out;
}

QString QtDefaultSuffix(const std::string &defaultExt) {
    for (const QString &p : QString::fromStdString(defaultExt).split(';')) {
        QString t = p.trimmed();
        if (t.startsWith("*."))
            t = t.mid(2);
        else if (t.startsWith('.'))
            t = t.mid(1);
        if (!t.isEmpty() && !t.contains('*') && !t.contains('?'))
            return t;
    }
    return {};
}
