#include "country/country_file.h"

#include "country/country_table.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <array>

namespace {

// The published files are about 0.3 MB; a bigger one is not a country file and is not read into memory.
constexpr qint64 kMaxFileBytes = qint64{16} * 1024 * 1024;

bool isContinent(QStringView text)
{
    static constexpr std::array<QStringView, 7> kContinents = {u"AF", u"AN", u"AS", u"EU",
                                                               u"NA", u"OC", u"SA"};
    for (const QStringView continent : kContinents) {
        if (text == continent)
            return true;
    }
    return false;
}

// A zone number as the file writes it; 0 for anything else.
int zoneNumber(QStringView text, int highest)
{
    bool ok = false;
    const int zone = text.trimmed().toInt(&ok);
    return ok && zone >= 1 && zone <= highest ? zone : 0;
}

constexpr int kHighestCq = 40;
constexpr int kHighestItu = 90;

bool isCallText(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'/'))
            return false;
    }
    return true;
}

// The text between `open` and `close` into `inside` (left null when there is no `open`); false when
// unterminated.
bool enclosed(QStringView token, QChar open, QChar close, QStringView &inside)
{
    const qsizetype begin = token.indexOf(open);
    if (begin < 0)
        return true;
    const qsizetype end = token.indexOf(close, begin + 1);
    if (end < 0)
        return false;
    inside = token.sliced(begin + 1, end - begin - 1);
    return true;
}

} // namespace

// Fills a table while it is still private to the loading thread.
class CountryTableBuilder {
public:
    explicit CountryTableBuilder(CountryTable &table) : m_table(table) {}

    // One entity and its prefix list; false when the entry is unusable.
    bool add(Entity entity, QStringView prefixes)
    {
        if (entity.name.isEmpty() || entity.primaryPrefix.isEmpty() || !isContinent(entity.continent) ||
            entity.cqZone == 0 || entity.ituZone == 0)
            return false;
        const int index = static_cast<int>(m_table.m_entities.size());
        if (!entity.waeOnly && entity.dxcc > 0 && !m_table.m_byDxcc.contains(entity.dxcc))
            m_table.m_byDxcc.insert(entity.dxcc, index);
        m_table.m_entities.push_back(std::move(entity));
        const Entity &added = m_table.m_entities.back();
        qsizetype start = 0;
        for (qsizetype i = 0; i <= prefixes.size(); ++i) {
            if (i < prefixes.size() && prefixes[i] != u',' && prefixes[i] != u' ')
                continue;
            const QStringView token = prefixes.sliced(start, i - start).trimmed();
            start = i + 1;
            if (!token.isEmpty() && !addToken(token, index, added))
                ++m_table.m_malformed;
        }
        return true;
    }

private:
    // `=CALL` or `PREFIX`, with overrides `(cq)[itu]<lat/lon>{cont}~tz~`.
    bool addToken(QStringView token, int entity, const Entity &owner)
    {
        const bool exact = token.startsWith(u'=');
        if (exact)
            token = token.sliced(1);
        qsizetype baseEnd = 0;
        while (baseEnd < token.size() && !QStringView(u"([<{~").contains(token[baseEnd]))
            ++baseEnd;
        const QStringView base = token.first(baseEnd);
        if (!isCallText(base))
            return false;
        CountryTable::Match match{entity, owner.cqZone, owner.ituZone, owner.continent};
        QStringView cq;
        QStringView itu;
        QStringView continent;
        QStringView ignored;
        if (!enclosed(token, u'(', u')', cq) || !enclosed(token, u'[', u']', itu) ||
            !enclosed(token, u'{', u'}', continent) || !enclosed(token, u'<', u'>', ignored))
            return false;
        if (!cq.isNull() && (match.cqZone = zoneNumber(cq, kHighestCq)) == 0)
            return false;
        if (!itu.isNull() && (match.ituZone = zoneNumber(itu, kHighestItu)) == 0)
            return false;
        if (!continent.isNull()) {
            if (!isContinent(continent))
                return false;
            match.continent = continent.toString();
        }
        if (exact && base.size() > CountryTable::kPackedLength) {
            m_table.m_keyTexts.push_back(base.toString());
            const QStringView key = m_table.m_keyTexts.back();
            if (!m_table.m_longExactCalls.contains(key))
                m_table.m_longExactCalls.insert(key, match);
            return true;
        }
        // No prefix is near as long as a call.
        if (base.size() > CountryTable::kPackedLength)
            return false;
        QHash<quint64, CountryTable::Match> &index = exact ? m_table.m_exactCalls : m_table.m_prefixes;
        const quint64 code = CountryTable::pack(base).code;
        if (index.contains(code))
            return true;
        index.insert(code, match);
        if (!exact)
            m_table.m_longestPrefix = std::max(m_table.m_longestPrefix, base.size());
        return true;
    }

    CountryTable &m_table;
};

namespace {

Entity makeEntity(QStringView name, QStringView primary, QStringView continent, QStringView cq,
                  QStringView itu)
{
    Entity entity;
    entity.name = name.trimmed().toString();
    primary = primary.trimmed();
    entity.waeOnly = primary.startsWith(u'*');
    entity.primaryPrefix = (entity.waeOnly ? primary.sliced(1) : primary).toString();
    entity.continent = continent.trimmed().toString();
    entity.cqZone = zoneNumber(cq, kHighestCq);
    entity.ituZone = zoneNumber(itu, kHighestItu);
    return entity;
}

// cty.csv: `PFX,Name,DXCC,CONT,CQ,ITU,LAT,LON,TZ,prefixes;` on one line.
void parseCsv(QStringView text, CountryTableBuilder &builder, int &malformed)
{
    for (const QStringView line : text.tokenize(u'\n')) {
        const QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        const QList<QStringView> fields = trimmed.split(u',');
        bool numberOk = false;
        const int dxcc = fields.size() == 10 ? fields[2].trimmed().toInt(&numberOk) : 0;
        if (!numberOk || dxcc < 0 || !trimmed.endsWith(u';')) {
            ++malformed;
            continue;
        }
        Entity entity = makeEntity(fields[1], fields[0], fields[3], fields[4], fields[5]);
        entity.dxcc = dxcc;
        if (!builder.add(std::move(entity), fields[9].chopped(1)))
            ++malformed;
    }
}

// cty.dat: `Name: CQ: ITU: CONT: LAT: LON: TZ: PFX:` then the prefixes over lines, up to `;`.
void parseDat(QStringView text, CountryTableBuilder &builder, const QHash<QString, int> &dxccByPrefix,
              int &malformed)
{
    for (const QStringView record : text.tokenize(u';')) {
        if (record.trimmed().isEmpty())
            continue;
        const QList<QStringView> fields = record.split(u':');
        if (fields.size() != 9) {
            ++malformed;
            continue;
        }
        Entity entity = makeEntity(fields[0], fields[7], fields[3], fields[1], fields[2]);
        entity.dxcc = dxccByPrefix.value(fields[7].trimmed().toString());
        if (!builder.add(std::move(entity), fields[8]))
            ++malformed;
    }
}

bool looksLikeDat(QStringView text)
{
    const QStringView firstLine = text.first(std::max<qsizetype>(0, text.indexOf(u'\n')));
    return (firstLine.isEmpty() ? text : firstLine).count(u':') >= 8;
}

QHash<QString, int> dxccNumbers(const QString &csvPath)
{
    QHash<QString, int> numbers;
    QFile file(csvPath);
    if (!QFileInfo(csvPath).isFile() || file.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly))
        return numbers;
    const auto table = CountryFile::parse(file.readAll());
    for (const Entity &entity : table->entities())
        numbers.insert((entity.waeOnly ? QStringLiteral("*") : QString()) + entity.primaryPrefix,
                       entity.dxcc);
    return numbers;
}

} // namespace

QString CountryFile::locate(const QDir &workDir, const QString &ctyFile)
{
    for (const QString &name : {kCsvName, kDatName}) {
        if (QFileInfo::exists(workDir.filePath(name)))
            return workDir.filePath(name);
    }
    if (!ctyFile.trimmed().isEmpty())
        return workDir.filePath(ctyFile.trimmed());
    const QDir system(kSystemFolder);
    for (const QString &name : {kCsvName, kDatName}) {
        if (QFileInfo::exists(system.filePath(name)))
            return system.filePath(name);
    }
    return {};
}

std::shared_ptr<const CountryTable> CountryFile::load(const QString &path, QString *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return nullptr;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("no country file found (install hamradio-files)"));
    // Only a plain file: a pipe or a device could keep the reading thread, and a spot waiting for it,
    // forever.
    if (QFileInfo(path).exists() && !QFileInfo(path).isFile())
        return fail(QStringLiteral("country file %1 is not a plain file").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("country file %1 cannot be read: %2").arg(path, file.errorString()));
    if (file.size() > kMaxFileBytes)
        return fail(QStringLiteral("country file %1 is too large to be one").arg(path));
    const QByteArray data = file.read(kMaxFileBytes);
    QHash<QString, int> numbers;
    if (looksLikeDat(QString::fromUtf8(data.first(std::min<qsizetype>(data.size(), 200))))) {
        const QString beside = QFileInfo(path).dir().filePath(kCsvName);
        numbers = dxccNumbers(QFileInfo::exists(beside) ? beside : QDir(kSystemFolder).filePath(kCsvName));
    }
    std::shared_ptr<CountryTable> table = parse(data, numbers);
    if (table->entities().empty())
        return fail(QStringLiteral("country file %1 holds no entity").arg(path));
    table->m_path = path;
    return table;
}

std::shared_ptr<CountryTable> CountryFile::parse(QByteArrayView data, const QHash<QString, int> &dxccByPrefix)
{
    auto table = std::make_shared<CountryTable>();
    const QString text = QString::fromUtf8(data);
    CountryTableBuilder builder(*table);
    int malformed = 0;
    if (looksLikeDat(text))
        parseDat(text, builder, dxccByPrefix, malformed);
    else
        parseCsv(text, builder, malformed);
    table->m_malformed += malformed;
    return table;
}
