// The country file reader on arbitrary contents, in either form: it never fails, and every call made of the
// file's own words resolves to an entity of the table with the zones the file allows, or to none.
#include "country/country_file.h"
#include "country/country_table.h"
#include "fuzz_support.h"

namespace {

void checkResolves(const CountryTable &table, QStringView call)
{
    const std::optional<Resolved> resolved = table.resolve(call);
    if (!resolved)
        return;
    const std::vector<Entity> &entities = table.entities();
    FUZZ_CHECK(resolved->entity >= entities.data() && resolved->entity < entities.data() + entities.size());
    FUZZ_CHECK(resolved->cqZone >= 1 && resolved->cqZone <= 40);
    FUZZ_CHECK(resolved->ituZone >= 1 && resolved->ituZone <= 90);
    FUZZ_CHECK(resolved->continent.size() == 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView content = FuzzInput{data, size}.rest();
    const auto table = CountryFile::parse(content);
    FUZZ_CHECK(table->malformedCount() >= 0);
    const QString text = QString::fromUtf8(content);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !QStringView(u", ;\n").contains(text[i]))
            continue;
        const QStringView word = QStringView(text).sliced(start, i - start);
        start = i + 1;
        checkResolves(*table, word);
        checkResolves(*table, word.mid(1));
    }
    for (const Entity &entity : table->entities()) {
        checkResolves(*table, entity.primaryPrefix + QStringLiteral("1ABC/P"));
        checkResolves(*table, QStringLiteral("K1ABC/") + entity.primaryPrefix);
    }
    return 0;
}
