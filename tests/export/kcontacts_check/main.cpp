// Reads the vCards of an export folder with KContacts, a vCard parser
// independent of both our writer and check_vcards.py, and compares what it
// reads with the records they were written from.
//
// usage: kcontacts_check FOLDER EXPECTED_JSON
//
// EXPECTED_JSON and the exit status are those of check_vcards.py: 0 when the
// per-contact files (one card each) and "All contacts.vcf" both hold exactly
// the expected cards, in any order; 1 with one line per problem otherwise.
// The octet rules of the lines (75 at most, CR LF) are left to
// check_vcards.py: KContacts reads past both.
#include <KContacts/VCardConverter>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <cstdio>
#include <stdexcept>

namespace {

const QString kAllContacts = QStringLiteral("All contacts.vcf");

// vCard 3.0 text escaping, as a card of the value holds it.
QString escaped(QString v) {
    v.replace('\\', "\\\\").replace(';', "\\;").replace(',', "\\,");
    return v.replace("\r\n", "\\n").replace('\r', "\\n").replace('\n', "\\n");
}

// KContacts undoes the escapes of a whole content line with one replacement
// after the other, so it reads "\\n" (an escaped backslash, then n) as a
// backslash and a line break, and it keeps "\;" in plain text values. Those
// are its own faults, not the card's: the value is expected as KContacts
// reads its correctly escaped card, so any other card still differs.
QString unescapedLine(QString line) {
    line.replace("\\n", "\n").replace("\\N", "\n").replace("\\r", "\r").replace("\\,", ",");
    return line.replace("\\\\", "\\");
}

QString asText(const QString& value) {
    return unescapedLine(escaped(value));
}

// A structured value (N, ORG, ADR) as KContacts splits its line: at each ';'
// not after a backslash; a "\;" becomes ';' (so "\\;" joins two parts too).
QStringList asParts(const QJsonArray& parts, int count) {
    QStringList written;
    for (const auto& p : parts) written << escaped(p.toString());
    QStringList read{QString()};
    for (const QChar c : unescapedLine(written.join(';'))) {
        if (c != ';')
            read.last() += c;
        else if (read.last().endsWith('\\'))
            read.last().back() = c;
        else
            read << QString();
    }
    while (read.size() < count) read << QString();
    return read;
}

// KContacts keeps ORG's first two parts only, as organization and department.
QJsonArray org(const QString& organization, const QString& department) {
    QJsonArray a{organization};
    if (!department.isEmpty()) a << department;
    return a;
}

// The vCard names of KContacts' number types, in the order of its flags.
// Types it has no flag for (MAIN) it drops, so the expected list loses them.
const std::pair<KContacts::PhoneNumber::TypeFlag, const char*> kPhoneTypes[] = {
    {KContacts::PhoneNumber::Home, "HOME"},   {KContacts::PhoneNumber::Work, "WORK"},
    {KContacts::PhoneNumber::Msg, "MSG"},     {KContacts::PhoneNumber::Pref, "PREF"},
    {KContacts::PhoneNumber::Voice, "VOICE"}, {KContacts::PhoneNumber::Fax, "FAX"},
    {KContacts::PhoneNumber::Cell, "CELL"},   {KContacts::PhoneNumber::Video, "VIDEO"},
    {KContacts::PhoneNumber::Bbs, "BBS"},     {KContacts::PhoneNumber::Modem, "MODEM"},
    {KContacts::PhoneNumber::Car, "CAR"},     {KContacts::PhoneNumber::Isdn, "ISDN"},
    {KContacts::PhoneNumber::Pcs, "PCS"},     {KContacts::PhoneNumber::Pager, "PAGER"}};

QJsonArray sortedTypes(QStringList names) {
    names.sort();
    return QJsonArray::fromStringList(names);
}

// The expected values of one card as KContacts reads them back.
QJsonObject asRead(QJsonObject e) {
    const auto texts = [](const QJsonValue& list, auto f) {
        QJsonArray out;
        for (const auto& v : list.toArray()) out << f(v);
        return out;
    };
    const auto text = [](const QJsonValue& v) { return QJsonValue(asText(v.toString())); };
    for (const char* key : {"FN", "TITLE", "NOTE"}) e[key] = text(e[key]);
    e["N"] = QJsonArray::fromStringList(asParts(e["N"].toArray(), 5).mid(0, 5));
    if (!e["ORG"].toArray().isEmpty()) {
        const QStringList parts = asParts(e["ORG"].toArray(), 2);
        e["ORG"] = org(parts[0], parts[1]);
    }
    for (const char* key : {"TEL", "EMAIL"}) e[key] = texts(e[key], text);
    // KContacts keeps a URL as a QUrl, which normalises its text.
    e["URL"] =
        texts(e["URL"], [](const QJsonValue& v) { return QUrl(asText(v.toString())).toString(); });
    e["TEL_TYPES"] = texts(e["TEL_TYPES"], [](const QJsonValue& types) {
        QStringList known;
        for (const auto& t : types.toArray())
            for (const auto& [flag, name] : kPhoneTypes)
                if (t.toString() == QLatin1String(name)) known << name;
        return sortedTypes(known);
    });
    e["ADR"] = texts(e["ADR"], [](const QJsonValue& a) {
        QJsonArray all{QString(), QString()};  // post office box, extended address
        for (const auto& part : a.toArray()) all << part;
        return QJsonArray::fromStringList(asParts(all, 7).mid(2, 5));
    });
    return e;
}

// The values of one card, in the shape of the expected ones.
QJsonObject valuesOf(const KContacts::Addressee& a) {
    if (a.extraTitleList().size() > 1) throw std::runtime_error("TITLE appears more than once");
    if (!a.extraPhotoList().isEmpty()) throw std::runtime_error("more than one PHOTO");
    const KContacts::Picture photo = a.photo();
    if (!photo.isEmpty() && !photo.isIntern()) throw std::runtime_error("PHOTO is not inline data");
    QString bday =
        a.birthday().date().isValid() ? a.birthday().date().toString(Qt::ISODate) : QString();
    if (a.birthdayHasTime()) bday += 'T' + a.birthday().time().toString(Qt::ISODate);
    QJsonArray tels, telTypes, urls, adrs;
    for (const auto& p : a.phoneNumbers()) {
        tels << p.number();
        QStringList names;
        for (const auto& [flag, name] : kPhoneTypes)
            if (p.type() & flag) names << name;
        telTypes << sortedTypes(names);
    }
    for (const auto& u : a.extraUrlList()) urls << u.url().toString();
    for (const auto& r : a.addresses())
        adrs << QJsonArray{r.street(), r.locality(), r.region(), r.postalCode(), r.country()};
    return {{"FN", a.formattedName()},
            {"N",
             QJsonArray{a.familyName(), a.givenName(), a.additionalName(), a.prefix(), a.suffix()}},
            {"ORG", a.extraOrganizationList().isEmpty() ? QJsonArray()
                                                        : org(a.organization(), a.department())},
            {"TITLE", a.title()},
            {"NOTE", a.note()},
            {"BDAY", bday},
            {"TEL", tels},
            {"TEL_TYPES", telTypes},
            {"EMAIL", QJsonArray::fromStringList(a.emails())},
            {"URL", urls},
            {"ADR", adrs},
            {"PHOTO", QString::fromLatin1(photo.rawData().toHex())},
            // X-NAME-FIELD lines become the custom value of app NAME, field FIELD.
            {"DELETED", a.custom("MARLOWEN", "DELETED") == "TRUE"}};
}

struct Card {
    QString file;
    QJsonObject values;
};

QList<Card> readCards(const QString& folder, const QString& name) {
    QFile f(QDir(folder).filePath(name));
    if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot be read");
    const QByteArray raw = f.readAll();
    const KContacts::Addressee::List cards = KContacts::VCardConverter().parseVCards(raw);
    // KContacts drops VERSION, so the lines are counted in the text.
    if (raw.toUpper().count("\nVERSION:3.0\r\n") != cards.size())
        throw std::runtime_error("not every card has VERSION:3.0");
    QList<Card> out;
    for (const auto& a : cards) out << Card{name, valuesOf(a)};
    return out;
}

QString json(const QJsonValue& v) {
    return QString::fromUtf8(
        QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).chopped(1).mid(1));
}

// Pairs each card read with an equal expected one; a card left over is shown
// against the remaining expected card with the most equal fields (expected
// values as KContacts reads them).
QStringList compare(QList<QJsonObject> expected, QList<Card> found, const QString& what) {
    QStringList problems;
    QList<Card> unmatched;
    for (const Card& c : found)
        if (!expected.removeOne(c.values)) unmatched << c;
    for (const Card& c : unmatched) {
        int best = -1, bestEqual = -1;
        for (int i = 0; i < expected.size(); ++i) {
            int equal = 0;
            for (const QString& key : c.values.keys()) equal += expected[i][key] == c.values[key];
            if (equal > bestEqual) best = i, bestEqual = equal;
        }
        const QString card = QString("%1: '%2' card %3").arg(what, c.file, json(c.values["FN"]));
        if (best < 0) {
            problems << card + ": read but not written: " + json(c.values);
            continue;
        }
        for (const QString& key : c.values.keys())
            if (expected[best][key] != c.values[key])
                problems << QString("%1: %2 read %3, expected %4")
                                .arg(card, key, json(c.values[key]), json(expected[best][key]));
        expected.removeAt(best);
    }
    for (const QJsonObject& e : expected) problems << what + ": not read back: " + json(e);
    return problems;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER EXPECTED_JSON\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir(folder).exists()) {
        std::fprintf(stderr, "%s: no such folder\n", argv[1]);
        return 2;
    }
    QFile f(QString::fromLocal8Bit(argv[2]));
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", argv[2], qPrintable(f.errorString()));
        return 2;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    if (!doc.isArray()) {
        std::fprintf(stderr, "%s: not a JSON list (%s)\n", argv[2],
                     qPrintable(error.errorString()));
        return 2;
    }
    QList<QJsonObject> expected;
    for (const auto& e : doc.array()) expected << asRead(e.toObject());

    QStringList problems;
    QList<Card> singles, combined;
    for (const QString& name : QDir(folder).entryList({"*.vcf"}, QDir::Files, QDir::Name)) {
        try {
            const QList<Card> cards = readCards(folder, name);
            if (name == kAllContacts)
                combined = cards;
            else if (cards.size() != 1)
                throw std::runtime_error(std::to_string(cards.size()) + " cards in the file");
            else
                singles += cards;
        } catch (const std::exception& e) {
            problems << QString("'%1': %2").arg(name, e.what());
        }
    }
    problems += compare(expected, singles, "per-contact files");
    problems += compare(expected, combined, kAllContacts);
    for (const QString& p : problems) std::printf("%s\n", qPrintable(p));
    std::printf("%d cards read, %d expected, %d problems (KContacts)\n", int(singles.size()),
                int(expected.size()), int(problems.size()));
    return problems.isEmpty() ? 0 : 1;
}
