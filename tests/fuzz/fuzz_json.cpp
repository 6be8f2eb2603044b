// Parses any text with JsonReader and checks that the table is consistent with itself.

#include "net/JsonReader.h"

#include <cstdint>

using namespace skylark;

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    JsonReader reader;
    const bool parsed = reader.parse(text);
    check(parsed == (reader.rowCount() > 0));
    if (reader.rowCount() > 4096) {
        // Listing every row's full path is quadratic in the depth; a few lookups do here.
        (void)reader.getText(u"data[0].price");
        (void)reader.count(u"data");
        return 0;
    }
    check(parsed == !reader.entries().isEmpty());
    const QString source = reader.sourceText();
    check(reader.count() == reader.topCount());
    const QList<JsonEntry> entries = reader.entries();
    for (const JsonEntry& entry : entries) {
        check(entry.start >= 1 && entry.length >= 0 &&
              entry.start - 1 + entry.length <= source.size());
        JsonKind kind = JsonKind::None;
        const QString value = reader.getText(entry.path, &kind);
        check(kind != JsonKind::None);
        if (kind == entry.kind && value == source.mid(entry.start - 1, entry.length)) {
            continue;
        }
        // Only a duplicate path may read another row's value.
        check(std::count_if(entries.begin(), entries.end(),
                            [&](const JsonEntry& other) { return other.path == entry.path; }) > 1);
    }
    if (parsed) {
        const JsonEntry& first = entries.first();
        QStringList steps;
        JsonReader::splitPath(first.path, steps);
        (void)reader.count(first.path);
        (void)reader.memberNames(first.path);
        (void)reader.typeOf(first.path);
    }
    return 0;
}
