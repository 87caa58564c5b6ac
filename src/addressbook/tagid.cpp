#include "addressbook/tagid.h"

namespace qb {

namespace {
QString& currentId() {
    static QString id;
    return id;
}
} // namespace

QString ToBase36(qint64 n) {
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QString out;
    while (n > 0) {
        out.prepend(QLatin1Char(digits[n % 36]));
        n /= 36;
    }
    return out;
}

QString NewTagId(const QDateTime& when) {
    const QDate date = when.date();
    const QTime time = when.time();
    const QString a = ToBase36(date.year() - 1995);
    // "mmddhhnnss" read as a number: the month's leading zero disappears.
    const qint64 stamp = qint64(date.month()) * 100000000LL + qint64(date.day()) * 1000000LL +
                         qint64(time.hour()) * 10000LL + qint64(time.minute()) * 100LL +
                         qint64(time.second());
    return a + ToBase36(stamp);
}

QString NewTagId() {
    return NewTagId(QDateTime::currentDateTime());
}

QString GlobalTagId() {
    return currentId();
}
void SetGlobalTagId(const QString& id) {
    currentId() = id;
}

} // namespace qb
