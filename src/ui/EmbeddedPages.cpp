#include "EmbeddedPages.h"

#include "app/EventWaits.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQuickWindow>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace skylark::ui {
namespace {

// Collects the page's form lists as the program reads them: buttons are the button,
// submit and reset inputs in document order, then the button elements; text inputs are
// the text, password and file inputs. Types compare exactly. The lists stay in the page
// until the next collection; the script returns the two counts that matter.
const QString kCollectPageForm = QStringLiteral(R"((function () {
  var body = document.body, f = {buttons: [], radios: [], checkboxes: [], textInputs: [],
    hiddens: [], imageInputs: [], tables: [], selects: [], textAreas: [], links: [], divisions: []};
  if (!body) { window.__skylarkForm = f; return [0, 0]; }
  var kinds = {button: 'buttons', submit: 'buttons', reset: 'buttons', radio: 'radios',
    checkbox: 'checkboxes', text: 'textInputs', password: 'textInputs', file: 'textInputs',
    hidden: 'hiddens', image: 'imageInputs'};
  var inputs = body.getElementsByTagName('input');
  for (var i = 0; i < inputs.length; ++i) {
    var list = kinds.hasOwnProperty(inputs[i].type) ? kinds[inputs[i].type] : null;
    if (list) f[list].push(inputs[i]);
  }
  var rest = {button: 'buttons', table: 'tables', select: 'selects', textarea: 'textAreas',
    a: 'links', div: 'divisions'};
  for (var tag in rest) {
    var found = body.getElementsByTagName(tag);
    for (var j = 0; j < found.length; ++j) f[rest[tag]].push(found[j]);
  }
  window.__skylarkForm = f;
  return [f.buttons.length, f.textInputs.length];
})())");

QString jsString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString setTextInputScript(int n, const QString& text) {
    return QStringLiteral("(function () { var f = window.__skylarkForm, e = f && f.textInputs[%1];"
                          " if (!e) return false; e.value = %2; return true; })()")
        .arg(n - 1)
        .arg(jsString(text));
}

const QString kClickFirstButton = QStringLiteral(
    "(function () { var f = window.__skylarkForm; if (!f || !f.buttons[0]) return false;"
    " f.buttons[0].click(); return true; })()");

// The two small pages need no renderer each: one serves both. The browser engine reads
// its switches when it starts, which is when the first profile is made.
void shareOneRenderer() {
    const char* const name = "QTWEBENGINE_CHROMIUM_FLAGS";
    const QByteArray flags = qgetenv(name);
    if (!flags.contains("--renderer-process-limit")) {
        qputenv(name, QByteArray(flags + " --renderer-process-limit=1").trimmed());
    }
}

} // namespace

EmbeddedPages::EmbeddedPages(QWidget& startHost, QWidget& trendHost, const QString& storagePath,
                             QObject* parent)
    : QObject(parent)
    , m_startHost(startHost)
    , m_trendHost(trendHost)
    , m_storagePath(storagePath) {}

EmbeddedPages::~EmbeddedPages() {
    // The views' pages must go before the profile they live in.
    delete m_startView;
    delete m_trendView;
    delete m_profile;
}

QWebEngineView* EmbeddedPages::trendView() const {
    return m_trendView;
}

QWebEngineView* EmbeddedPages::startView() const {
    return m_startView;
}

QWebEngineView* EmbeddedPages::viewIn(QWidget& host) {
    if (!m_profile) {
        // The views draw into the window like any other widget. With OpenGL they would
        // have every repaint of the whole window composed through it, which without a
        // graphics card (a virtual machine, a remote desktop) costs milliseconds a time.
        if (QQuickWindow::graphicsApi() != QSGRendererInterface::Software) {
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        }
        shareOneRenderer();
        m_profile = new QWebEngineProfile(QStringLiteral("skylark"));
        m_profile->setPersistentStoragePath(m_storagePath);
        m_profile->setCachePath(m_storagePath + QStringLiteral("/cache"));
        m_profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    }
    auto* view = new QWebEngineView(&host);
    auto* page = new QWebEnginePage(m_profile, view);
    view->setPage(page);
    // Both pages live in one renderer: when it dies, each page loads again.
    connect(page, &QWebEnginePage::renderProcessTerminated, view,
            [view](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus) {
                    QTimer::singleShot(0, view, [view] { view->reload(); });
                }
            });
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    return view;
}

void EmbeddedPages::loadStartPages(const QString& trendUrl, const QString& startUrl,
                                   int betweenMs) {
    if (!m_trendView) {
        m_trendView = viewIn(m_trendHost);
        connect(m_trendView, &QWebEngineView::loadStarted, this, [this] { ++m_generation; });
    }
    m_trendView->setUrl(QUrl(trendUrl));
    QTimer::singleShot(betweenMs, this, [this, startUrl] {
        if (!m_startView) {
            m_startView = viewIn(m_startHost);
        }
        m_startView->setUrl(QUrl(startUrl));
    });
}

void EmbeddedPages::reloadTrendPage() {
    if (m_trendView) {
        ++m_generation;
        m_trendView->reload();
    }
}

QVariant EmbeddedPages::runInTrendPage(const QString& script) {
    if (!m_trendView) {
        return {};
    }
    QPointer<QWebEnginePage> page = m_trendView->page();
    QVariant result;
    bool done = false;
    QEventLoop loop;
    connect(page, &QObject::destroyed, &loop, &QEventLoop::quit);
    page->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
        loop.quit();
    });
    if (!done) {
        loop.exec();
    }
    return done ? result : QVariant();
}

// Reads the ready state until it has been "complete" twice; the wait has no limit but
// ends when a newer search or a reload takes over.
bool EmbeddedPages::waitPageLoaded(int generation) {
    int seen = 0;
    while (seen < 2) {
        if (!current(generation) || !m_trendView) {
            return false;
        }
        if (runInTrendPage(QStringLiteral("document.readyState")).toString() == u"complete") {
            ++seen;
        } else {
            waitProcessingEvents(20);
        }
        processPendingEvents();
    }
    return current(generation);
}

bool EmbeddedPages::fillTrendSearch(const QString& depCity, const QString& arrCity, int pauseMs) {
    m_wanted = {depCity, arrCity};
    ++m_requests;
    ++m_generation; // cuts the search under way short
    if (m_filling) {
        return false; // the search under way takes these cities up
    }
    m_filling = true;
    bool filled = false;
    int taken = 0;
    do { // again while newer searches cut it short; not for a reload or the page's end
        taken = m_requests;
        const auto [dep, arr] = m_wanted;
        filled = fillOnce(dep, arr, pauseMs, m_generation);
    } while (!filled && taken != m_requests);
    m_filling = false;
    return filled;
}

bool EmbeddedPages::fillOnce(const QString& depCity, const QString& arrCity, int pauseMs,
                             int generation) {
    if (!m_trendView || !waitPageLoaded(generation)) {
        return false;
    }
    const QVariantList counts = runInTrendPage(kCollectPageForm).toList();
    if (!current(generation) || counts.size() != 2) {
        return false;
    }
    runInTrendPage(setTextInputScript(1, depCity));
    waitProcessingEvents(pauseMs);
    if (!current(generation)) {
        return false;
    }
    runInTrendPage(setTextInputScript(2, arrCity));
    if (counts[0].toInt() == 1) {
        waitProcessingEvents(pauseMs);
        if (!current(generation)) {
            return false;
        }
        runInTrendPage(kClickFirstButton);
    }
    return true;
}

} // namespace skylark::ui
