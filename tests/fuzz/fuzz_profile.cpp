// Parses any bytes as a profile file, reads every section, and checks that edits read
// back as written and leave the other sections alone.

#include "store/ProfileDocument.h"
#include "store/ProfileFile.h"

#include <cstdint>

using namespace skylark;

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

const QString kKey = QStringLiteral("fuzzKey");
const QString kValue = QStringLiteral("值 1");

void checkEdits(const ProfileDocument& document, const QString& section) {
    if (!ProfileFile::canStoreSectionName(section)) {
        return;
    }
    const ProfileDocument written(document.withValues(section, {{kKey, kValue}}));
    check(written.value(section, kKey) == kValue);

    const qsizetype before = document.sectionNames().size();
    const ProfileDocument removed(document.withoutSection(section));
    const qsizetype after = removed.sectionNames().size();
    check(after == before - (document.hasSection(section) ? 1 : 0) || before == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ProfileDocument document(
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QStringList names = document.sectionNames();
    qsizetype visited = 0;
    document.forEachSection({QStringLiteral("k"), QStringLiteral("depDate")},
                            [&](QString name, QStringList& values) {
                                check(name == names[visited]);
                                check(values[0] == document.value(name, u"k").value_or(QString()));
                                ++visited;
                            });
    check(visited == names.size());
    for (qsizetype i = 0; i < names.size() && i < 8; ++i) {
        checkEdits(document, names[i]);
    }
    checkEdits(document, QStringLiteral("New"));
    return 0;
}
