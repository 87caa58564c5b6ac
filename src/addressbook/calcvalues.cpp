// The values of the address file's calculated name and city fields.
#include "addressbook/addressfile.h"

namespace qb {

namespace {
QString cut(const QString& s, int size) {
    return s.size() > size ? s.left(size) : s;
}
} // namespace

QString Trim(const QString& s) {
    return TrimLeft(TrimRight(s));
}

QString TrimLeft(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && s.at(i) == QLatin1Char(' '))
        ++i;
    return s.mid(i);
}

QString TrimRight(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

QString CalcFullName(const QString& fname, const QString& middle, const QString& lname) {
    return cut(TrimRight(fname + QLatin1Char(' ') + middle) + QLatin1Char(' ') + lname, 35);
}

QString CalcFullNameWithPrefix(const QString& prefix, const QString& fname, const QString& middle,
                               const QString& lname) {
    return cut(Trim(prefix + QLatin1Char(' ') + fname + QLatin1Char(' ') + middle) +
                   QLatin1Char(' ') + lname,
               35);
}

QString CalcCityStateZip(const QString& city, const QString& state, const QString& zip) {
    return cut(TrimLeft(city + QLatin1Char(' ')) + TrimLeft(state + QLatin1Char(' ')) + zip, 35);
}

} // namespace qb
