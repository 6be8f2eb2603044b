// The least Qt program that shows two web pages: one window, two QWebEngineViews side by
// side on one named profile, nothing else. bench_desktop measures it beside Skylark.
// Usage: bench_peer START_URL CHART_URL PROFILE_DIR

#include <QApplication>
#include <QHBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 4) {
        return 2;
    }
    // Declared first, so that it goes after the pages of the window.
    QWebEngineProfile profile(QStringLiteral("peer"));
    profile.setPersistentStoragePath(arguments[3]);
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    for (const QString& url : {arguments[1], arguments[2]}) {
        auto* view = new QWebEngineView(&window);
        view->setPage(new QWebEnginePage(&profile, view));
        view->setUrl(QUrl(url));
        layout->addWidget(view);
    }
    window.resize(1040, 551);
    window.show();
    return QApplication::exec();
}
