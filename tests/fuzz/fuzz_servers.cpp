// Loads any bytes as servers.ini and builds every address from what it gives.

#include "net/Endpoints.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

using namespace skylark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    QFile file(Endpoints::serversFilePath(dir.path()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        __builtin_trap();
    }
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    const std::optional<Endpoints> loaded = Endpoints::load(dir.path());
    if (!loaded) {
        __builtin_trap(); // the file exists, so it is read, whatever it holds
    }
    const Endpoints& e = *loaded;
    const QString city = QStringLiteral("成都");
    const QString day = QStringLiteral("2014-11-05");
    for (const QString& url :
         {cityCheckUrl(e, city, city), searchStringUrl(e, city, city, day), pushRelayUrl(e),
          versionFileUrl(e), domesticCalendarUrl(e, QStringLiteral("a=b"), day),
          internationalCalendarUrl(e, QStringLiteral("a=b"), day),
          domesticSearchPageUrl(e, city, city, day), internationalSearchPageUrl(e, city, city, day),
          startPageUrl(e), priceChartPageUrl(e), homePageUrl(e), feedbackPageUrl(e),
          mailFeedbackUrl(e)}) {
        (void)url;
    }
    return 0;
}
